#include <gtest/gtest.h>

#include "support/StringTable.h"

TEST(StringTable, EntriesAreUnescapedAndFormatted) {
    EXPECT_EQ(LoadResourceString(422), "Blackbox info not found.\nPlease check location of drive");
    EXPECT_EQ(LoadResourceString(402), "Tarvex K310VZN PC Viewer");
    EXPECT_EQ(LoadResourceString(323), "Notice) Total Size = 95%%");
    EXPECT_EQ(FormatResourceString(323), "Notice) Total Size = 95%");
    EXPECT_TRUE(LoadResourceString(1).empty());
    EXPECT_FALSE(HasResourceString(1));
}

TEST(StringTable, EveryKoreanEntryHasItsEnglishPartner) {
    // Pairs used by the windows: the Korean id and the English id.
    const int pairs[][2] = {{405, 406}, {431, 442}, {407, 408}, {443, 444}, {409, 410},
                            {411, 412}, {421, 422}, {413, 414}, {403, 404}, {429, 430},
                            {432, 433}, {434, 435}, {436, 437}, {438, 439}, {440, 441}};
    for (const auto& p : pairs) {
        EXPECT_TRUE(HasResourceString(p[0])) << p[0];
        EXPECT_TRUE(HasResourceString(p[1])) << p[1];
        EXPECT_NE(LoadResourceString(p[0]), LoadResourceString(p[1])) << p[0];
    }
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
