#pragma once
// The string table: every user-visible text by id, one entry per language (the Korean text
// and the English text sit at different ids, mostly consecutive, Korean first). The table is
// compiled in from res/strings.tsv.
//
// The language is chosen once at start-up from the system locale; g_wLanguage holds its
// primary language id (0x12 is Korean), as the window code compares it.

#include <cstdint>
#include <string>
#include <type_traits>

#include "res/TextIds.h"

constexpr uint16_t kLangKorean = 0x12;
constexpr uint16_t kLangEnglish = 0x09;

// Primary language of the user interface; set by InitUiLanguage (default English).
extern uint16_t g_wLanguage;

// Primary language id for a locale name such as "ko_KR.UTF-8" or "en_US" (Korean gives
// kLangKorean, anything else its own id or kLangEnglish).
uint16_t LanguageFromLocaleName(const std::string& locale);
// Reads LC_ALL, LC_MESSAGES and LANG (the first that is set) and sets g_wLanguage.
void InitUiLanguage();
inline bool IsKoreanUi() { return g_wLanguage == kLangKorean; }
// Picks the id of the current language from a Korean/English pair.
inline int PickStringId(int koreanId, int englishId) {
    return IsKoreanUi() ? koreanId : englishId;
}
inline int PickStringId(TextId text) {
    return PickStringId(text.korean, text.english);
}

// The raw entry (escapes resolved), or an empty string when the id is unknown.
const std::string& LoadResourceString(int id);
bool HasResourceString(int id);
// Loads an entry and formats it printf-style (so a stored "%%" shows as "%").
std::string FormatResourceString(int id, ...);

// A text in the user's language, printf-formatted with the arguments (C strings and numbers).
template <typename... Args>
std::string Text(TextId text, Args... args) {
    static_assert(((std::is_arithmetic_v<Args> || std::is_pointer_v<Args>) && ...),
                  "printf arguments: C strings and numbers only");
    return FormatResourceString(PickStringId(text), args...);
}
// A text in the user's language as stored, for texts that are not formats (a '|' list, a
// tip whose "%s" the caller fills in itself).
inline const std::string& RawText(TextId text) {
    return LoadResourceString(PickStringId(text));
}
// The same in a language chosen by the caller (the report has its own; the command-line tool
// speaks English whatever the locale).
inline const std::string& RawText(TextId text, bool korean) {
    return LoadResourceString(korean ? text.korean : text.english);
}
