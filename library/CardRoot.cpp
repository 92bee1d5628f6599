#include "library/CardRoot.h"

namespace {
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
}  // namespace

std::string CardRoot(const std::string& driveString) {
    size_t begin = 0;
    size_t end = driveString.size();
    // A pasted path often carries a line break or stray spaces at its ends.
    while (begin < end && IsBlank(driveString[begin])) ++begin;
    while (end > begin && IsBlank(driveString[end - 1])) --end;
    if (begin == end) return std::string();
    std::string root = driveString.substr(begin, end - begin);
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    if (root != "/") root += '/';
    return root;
}

std::string CardConfigPath(const std::string& cardRoot) {
    return cardRoot + "SETTING/blackbox.cfg";
}
