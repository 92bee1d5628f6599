#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "support/StringTable.h"

TEST(StringTable, EntriesAreUnescapedAndFormatted) {
    EXPECT_EQ(LoadResourceString(422), "Blackbox info not found.\nPlease check location of drive");
    EXPECT_EQ(LoadResourceString(402), "Tarvex K310VZN PC Viewer");
    EXPECT_EQ(LoadResourceString(323), "Notice) Total Size = 95%%");
    EXPECT_EQ(FormatResourceString(323), "Notice) Total Size = 95%");
    EXPECT_TRUE(LoadResourceString(1).empty());
    EXPECT_FALSE(HasResourceString(1));
}

namespace {

struct NamedText {
    std::string name;
    TextId id;
};

// Every text constant as the header spells it; read from the source, so that a constant added
// there is checked without being listed again here.
std::vector<NamedText> TextIdsOfHeader() {
    std::ifstream in(TARVEX_SOURCE_DIR "/res/TextIds.h");
    const std::string header((std::istreambuf_iterator<char>(in)), {});
    const std::regex constant(R"(TextId\s+(k\w+)\s*\{\s*(\d+)\s*,\s*(\d+)\s*\})");
    std::vector<NamedText> texts;
    for (auto it = std::sregex_iterator(header.begin(), header.end(), constant);
         it != std::sregex_iterator(); ++it) {
        texts.push_back({(*it)[1], {std::stoi((*it)[2]), std::stoi((*it)[3])}});
    }
    // A declaration the pattern does not read would go unchecked.
    size_t declared = 0;
    for (size_t at = header.find("constexpr TextId "); at != std::string::npos;
         at = header.find("constexpr TextId ", at + 1))
        ++declared;
    EXPECT_EQ(texts.size(), declared);
    return texts;
}

bool HasHangul(const std::string& utf8) {
    // Hangul syllables U+AC00..U+D7A3 start with the UTF-8 bytes EA..ED.
    for (unsigned char c : utf8)
        if (c >= 0xEA && c <= 0xED) return true;
    return false;
}

}  // namespace

TEST(StringTable, EveryNamedTextHasBothEntries) {
    const std::vector<NamedText> texts = TextIdsOfHeader();
    ASSERT_GT(texts.size(), 300u);
    for (const NamedText& t : texts) {
        EXPECT_FALSE(LoadResourceString(t.id.korean).empty()) << t.name;
        EXPECT_FALSE(LoadResourceString(t.id.english).empty()) << t.name;
        // An English id that points at a Korean entry is a pair written the wrong way round.
        EXPECT_FALSE(HasHangul(LoadResourceString(t.id.english))) << t.name;
    }
}

TEST(StringTable, NoTwoNamesShareAnEntry) {
    std::map<int, std::string> owner;
    for (const NamedText& t : TextIdsOfHeader()) {
        for (int id : {t.id.korean, t.id.english}) {
            const auto [at, added] = owner.emplace(id, t.name);
            if (!added && at->second != t.name)
                ADD_FAILURE() << t.name << " and " << at->second << " both use " << id;
        }
    }
}

TEST(StringTable, TextPicksTheLanguageAndFormats) {
    const uint16_t saved = g_wLanguage;
    g_wLanguage = kLangEnglish;
    EXPECT_EQ(Text(texts::kNoBlackbox), "Blackbox info not found.\nPlease check location of drive");
    EXPECT_EQ(Text(texts::kCannotOpen, "A.AVI"),
              FormatResourceString(texts::kCannotOpen.english, "A.AVI"));
    EXPECT_EQ(Text(texts::kSettingsStorageNotice), "Notice) Total Size = 95%");
    EXPECT_EQ(RawText(texts::kSettingsStorageNotice), "Notice) Total Size = 95%%");
    g_wLanguage = kLangKorean;
    EXPECT_EQ(Text(texts::kNoBlackbox), LoadResourceString(texts::kNoBlackbox.korean));
    EXPECT_EQ(RawText(texts::kNoBlackbox, /*korean=*/false),
              LoadResourceString(texts::kNoBlackbox.english));
    g_wLanguage = saved;
}

TEST(StringTable, LocaleChoosesKoreanOnlyForKorean) {
    EXPECT_EQ(LanguageFromLocaleName("ko_KR.UTF-8"), kLangKorean);
    EXPECT_EQ(LanguageFromLocaleName("en_US.UTF-8"), kLangEnglish);
    EXPECT_EQ(LanguageFromLocaleName("C"), kLangEnglish);
    EXPECT_EQ(LanguageFromLocaleName(""), kLangEnglish);
    uint16_t saved = g_wLanguage;
    g_wLanguage = kLangKorean;
    EXPECT_EQ(PickStringId(421, 422), 421);
    g_wLanguage = kLangEnglish;
    EXPECT_EQ(PickStringId(421, 422), 422);
    g_wLanguage = saved;
}
