#include "support/JsonWriter.h"

#include <cmath>
#include <cstdio>
#include <string_view>

namespace {

// File names come from the card as bytes in no particular encoding; a byte that does not
// belong to well-formed UTF-8 is written as U+FFFD so every line stays valid JSON.
constexpr const char* kReplacementEscape = "\\ufffd";

// Bytes in the well-formed UTF-8 sequence starting at text[at] (1 ... 4), or 0 when none
// starts there: a stray continuation byte, an overlong form (C0, C1, E0 80..9F, F0 80..8F),
// a surrogate (ED A0..BF), a code point past U+10FFFF (F4 90.., F5..FF) or a sequence cut
// short by the end of the text or by a byte that does not continue it.
size_t Utf8SequenceLength(std::string_view text, size_t at) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) return 1;
    size_t length = 0;
    unsigned char secondLow = 0x80, secondHigh = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) secondLow = 0xA0;
        if (lead == 0xED) secondHigh = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) secondLow = 0x90;
        if (lead == 0xF4) secondHigh = 0x8F;
    } else {
        return 0;
    }
    if (text.size() - at < length) return 0;
    for (size_t k = 1; k < length; ++k) {
        const unsigned char next = static_cast<unsigned char>(text[at + k]);
        const unsigned char low = k == 1 ? secondLow : 0x80;
        const unsigned char high = k == 1 ? secondHigh : 0xBF;
        if (next < low || next > high) return 0;
    }
    return length;
}

}  // namespace

void JsonWriter::BeforeValue() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (m_needComma) m_text += ", ";
}

JsonWriter& JsonWriter::BeginObject() {
    BeforeValue();
    m_text += '{';
    m_needComma = false;
    return *this;
}

JsonWriter& JsonWriter::EndObject() {
    m_text += '}';
    m_needComma = true;
    return *this;
}

JsonWriter& JsonWriter::BeginArray() {
    BeforeValue();
    m_text += '[';
    m_needComma = false;
    return *this;
}

JsonWriter& JsonWriter::EndArray() {
    m_text += ']';
    m_needComma = true;
    return *this;
}

JsonWriter& JsonWriter::Key(const std::string& key) {
    if (m_needComma) m_text += ", ";
    m_text += Escape(key);
    m_text += ": ";
    m_afterKey = true;
    m_needComma = false;
    return *this;
}

JsonWriter& JsonWriter::Raw(const std::string& json) {
    BeforeValue();
    m_text += json;
    m_needComma = true;
    return *this;
}

JsonWriter& JsonWriter::String(const std::string& value) { return Raw(Escape(value)); }
JsonWriter& JsonWriter::Int(int64_t value) { return Raw(std::to_string(value)); }
JsonWriter& JsonWriter::UInt(uint64_t value) { return Raw(std::to_string(value)); }
JsonWriter& JsonWriter::Bool(bool value) { return Raw(value ? "true" : "false"); }
JsonWriter& JsonWriter::Null() { return Raw("null"); }

JsonWriter& JsonWriter::Double(double value) {
    if (!std::isfinite(value)) return Null();
    char buf[40];
    // 17 significant digits read back as the same double.
    snprintf(buf, sizeof buf, "%.17g", value);
    return Raw(buf);
}

std::string JsonWriter::Escape(const std::string& value) {
    std::string out = "\"";
    out.reserve(value.size() + 2);
    for (size_t i = 0; i < value.size();) {
        const unsigned char c = static_cast<unsigned char>(value[i]);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    char buf[8];
                    snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else if (const size_t length = Utf8SequenceLength(value, i); length > 0) {
                    out.append(value, i, length);
                    i += length;
                    continue;
                } else {
                    out += kReplacementEscape;
                }
        }
        ++i;
    }
    out += '"';
    return out;
}
