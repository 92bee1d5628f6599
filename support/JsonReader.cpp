#include "support/JsonReader.h"

#include <cerrno>
#include <cstdlib>

namespace {

class Parser {
public:
    explicit Parser(const std::string& text) : m_text(text) {}

    bool Document(JsonValue* value, std::string* error) {
        const bool ok =
            Value(value, 0) && (Space(), m_at == m_text.size() || Fail("trailing text"));
        if (!ok) *error = m_error + " at byte " + std::to_string(m_at);
        return ok;
    }

private:
    bool Fail(const char* why) {
        if (m_error.empty()) m_error = why;
        return false;
    }
    void Space() {
        while (m_at < m_text.size() && (m_text[m_at] == ' ' || m_text[m_at] == '\n' ||
                                        m_text[m_at] == '\r' || m_text[m_at] == '\t'))
            ++m_at;
    }
    bool Word(const char* word) {
        const std::string w(word);
        if (m_text.compare(m_at, w.size(), w) != 0) return Fail("unknown word");
        m_at += w.size();
        return true;
    }

    bool Value(JsonValue* v, int depth) {
        if (depth > kMaxJsonDepth) return Fail("nested too deep");
        Space();
        if (m_at >= m_text.size()) return Fail("unexpected end");
        switch (m_text[m_at]) {
            case '{':
                return Object(v, depth);
            case '[':
                return Array(v, depth);
            case '"':
                v->type = JsonValue::Type::String;
                return String(&v->text);
            case 't':
                v->type = JsonValue::Type::Bool, v->boolean = true;
                return Word("true");
            case 'f':
                v->type = JsonValue::Type::Bool;
                return Word("false");
            case 'n':
                return Word("null");
            default:
                return Number(v);
        }
    }

    bool Object(JsonValue* v, int depth) {
        v->type = JsonValue::Type::Object;
        ++m_at;
        Space();
        if (m_at < m_text.size() && m_text[m_at] == '}') return ++m_at, true;
        for (;;) {
            Space();
            std::string key;
            if (m_at >= m_text.size() || m_text[m_at] != '"' || !String(&key))
                return Fail("expected a key");
            Space();
            if (m_at >= m_text.size() || m_text[m_at++] != ':') return Fail("expected ':'");
            v->members.push_back({std::move(key), JsonValue()});
            if (!Value(&v->members.back().value, depth + 1)) return false;
            Space();
            if (m_at >= m_text.size()) return Fail("unexpected end");
            const char c = m_text[m_at++];
            if (c == '}') return true;
            if (c != ',') return Fail("expected ',' or '}'");
        }
    }

    bool Array(JsonValue* v, int depth) {
        v->type = JsonValue::Type::Array;
        ++m_at;
        Space();
        if (m_at < m_text.size() && m_text[m_at] == ']') return ++m_at, true;
        for (;;) {
            v->items.emplace_back();
            if (!Value(&v->items.back(), depth + 1)) return false;
            Space();
            if (m_at >= m_text.size()) return Fail("unexpected end");
            const char c = m_text[m_at++];
            if (c == ']') return true;
            if (c != ',') return Fail("expected ',' or ']'");
        }
    }

    static void AppendUtf8(std::string* out, uint32_t c) {
        if (c < 0x80) {
            *out += static_cast<char>(c);
        } else if (c < 0x800) {
            *out += static_cast<char>(0xC0 | c >> 6);
            *out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            *out += static_cast<char>(0xE0 | c >> 12);
            *out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            *out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            *out += static_cast<char>(0xF0 | c >> 18);
            *out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            *out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            *out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }

    bool Hex4(uint32_t* c) {
        if (m_at + 4 > m_text.size()) return Fail("short \\u escape");
        *c = 0;
        for (int i = 0; i < 4; ++i) {
            const char h = m_text[m_at++];
            const int d = h >= '0' && h <= '9'   ? h - '0'
                          : h >= 'a' && h <= 'f' ? h - 'a' + 10
                          : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                                 : -1;
            if (d < 0) return Fail("bad \\u escape");
            *c = *c << 4 | static_cast<uint32_t>(d);
        }
        return true;
    }

    bool String(std::string* out) {
        ++m_at;  // the opening quote
        while (m_at < m_text.size()) {
            const char c = m_text[m_at++];
            if (c == '"') return true;
            if (static_cast<unsigned char>(c) < 0x20) return Fail("control character in a string");
            if (c != '\\') {
                *out += c;
                continue;
            }
            if (m_at >= m_text.size()) break;
            const char e = m_text[m_at++];
            switch (e) {
                case '"':
                case '\\':
                case '/':
                    *out += e;
                    break;
                case 'b':
                    *out += '\b';
                    break;
                case 'f':
                    *out += '\f';
                    break;
                case 'n':
                    *out += '\n';
                    break;
                case 'r':
                    *out += '\r';
                    break;
                case 't':
                    *out += '\t';
                    break;
                case 'u': {
                    uint32_t code = 0, low = 0;
                    if (!Hex4(&code)) return false;
                    if (code >= 0xD800 && code < 0xDC00 && m_text.compare(m_at, 2, "\\u") == 0) {
                        m_at += 2;
                        if (!Hex4(&low)) return false;
                        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                    }
                    AppendUtf8(out, code);
                    break;
                }
                default:
                    return Fail("bad escape");
            }
        }
        return Fail("unterminated string");
    }

    bool Number(JsonValue* v) {
        const size_t start = m_at;
        if (m_at < m_text.size() && m_text[m_at] == '-') ++m_at;
        bool integral = true, digits = false;
        for (; m_at < m_text.size(); ++m_at) {
            const char c = m_text[m_at];
            if (c >= '0' && c <= '9') {
                digits = true;
            } else if (c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-') {
                integral = false;
            } else {
                break;
            }
        }
        if (!digits) return Fail("expected a value");
        const std::string number = m_text.substr(start, m_at - start);
        char* end = nullptr;
        errno = 0;
        v->type = JsonValue::Type::Number;
        v->number = std::strtod(number.c_str(), &end);
        if (*end != '\0') return Fail("bad number");
        if (integral) {
            v->integer = std::strtoll(number.c_str(), &end, 10);
            v->integral = errno == 0;
        }
        return true;
    }

    const std::string& m_text;
    size_t m_at = 0;
    std::string m_error;
};

}  // namespace

const JsonValue* JsonValue::Find(const std::string& key) const {
    for (const auto& [name, value] : members)
        if (name == key) return &value;
    return nullptr;
}

bool ParseJson(const std::string& text, JsonValue* value, std::string* error) {
    *value = JsonValue();
    return Parser(text).Document(value, error);
}
