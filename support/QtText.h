#pragma once
// The window's way to a text of the string table (StringTable.h) in the user's language,
// printf-formatted with the arguments; QString and std::string arguments go in as UTF-8.
//   Tr(koreanId, ...)              the Korean entry, or the English one at the next id
//   TrPair(koreanId, englishId, ...) a pair whose English entry sits elsewhere
// Header-only: the string table itself is Qt-free.

#include <QString>
#include <string>
#include <type_traits>

#include "support/StringTable.h"

namespace qttext {

inline std::string Hold(const QString& text) {
    return text.toStdString();
}
template <typename T>
const T& Hold(const T& value) {
    return value;
}
inline const char* Arg(const std::string& text) {
    return text.c_str();
}
inline const char* Arg(const char* text) {
    return text;
}
template <typename T>
    requires std::is_arithmetic_v<T>
T Arg(T value) {
    return value;
}
template <typename... Held>
QString Format(int id, const Held&... held) {
    return QString::fromStdString(FormatResourceString(id, Arg(held)...));
}

}  // namespace qttext

template <typename... Args>
QString TrPair(int koreanId, int englishId, const Args&... args) {
    return qttext::Format(PickStringId(koreanId, englishId), qttext::Hold(args)...);
}

template <typename... Args>
QString Tr(int koreanId, const Args&... args) {
    return TrPair(koreanId, koreanId + 1, args...);
}
