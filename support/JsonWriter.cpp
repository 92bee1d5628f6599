#include "support/JsonWriter.h"

#include <cmath>
#include <cstdio>

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
    for (unsigned char c : value) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    out += '"';
    return out;
}
