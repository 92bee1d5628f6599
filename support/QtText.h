#pragma once
// The window's way to a text of the string table (StringTable.h, names in res/TextIds.h) in
// the user's language, printf-formatted with the arguments; QString and std::string arguments
// go in as UTF-8:  Tr(texts::kQuit), Tr(texts::kCannotOpen, name).
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
QString Format(TextId text, const Held&... held) {
    return QString::fromStdString(Text(text, Arg(held)...));
}

}  // namespace qttext

template <typename... Args>
QString Tr(TextId text, const Args&... args) {
    return qttext::Format(text, qttext::Hold(args)...);
}

