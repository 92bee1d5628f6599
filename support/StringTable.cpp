#include "support/StringTable.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

// Generated from res/strings.tsv at build time.
extern const char* const kStringTableTsv;

uint16_t g_wLanguage = kLangEnglish;

namespace {

std::string Unescape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            char c = text[++i];
            switch (c) {
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case '\\': out += '\\'; break;
                default: out += '\\'; out += c; break;
            }
        } else {
            out += text[i];
        }
    }
    return out;
}

const std::map<int, std::string>& Table() {
    static const std::map<int, std::string> table = [] {
        std::map<int, std::string> t;
        std::string all = kStringTableTsv;
        size_t pos = 0;
        while (pos < all.size()) {
            size_t end = all.find('\n', pos);
            if (end == std::string::npos) end = all.size();
            std::string line = all.substr(pos, end - pos);
            pos = end + 1;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.empty() || line[0] == '#') continue;
            size_t tab = line.find('\t');
            if (tab == std::string::npos) continue;
            int id = std::atoi(line.substr(0, tab).c_str());
            if (id > 0) t[id] = Unescape(line.substr(tab + 1));
        }
        return t;
    }();
    return table;
}

}  // namespace

uint16_t LanguageFromLocaleName(const std::string& locale) {
    if (locale.size() >= 2 && (locale.compare(0, 2, "ko") == 0 || locale.compare(0, 2, "KO") == 0))
        return kLangKorean;
    return kLangEnglish;
}

void InitUiLanguage() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            g_wLanguage = LanguageFromLocaleName(value);
            return;
        }
    }
    g_wLanguage = kLangEnglish;
}

const std::string& LoadResourceString(int id) {
    static const std::string empty;
    const auto& table = Table();
    auto it = table.find(id);
    return it == table.end() ? empty : it->second;
}

bool HasResourceString(int id) { return Table().count(id) != 0; }

std::string FormatResourceString(int id, ...) {
    const std::string& format = LoadResourceString(id);
    va_list args;
    va_start(args, id);
    va_list copy;
    va_copy(copy, args);
    int n = vsnprintf(nullptr, 0, format.c_str(), copy);
    va_end(copy);
    std::string out;
    if (n > 0) {
        std::vector<char> buf(static_cast<size_t>(n) + 1);
        vsnprintf(buf.data(), buf.size(), format.c_str(), args);
        out.assign(buf.data(), static_cast<size_t>(n));
    }
    va_end(args);
    return out;
}
