#pragma once
// A small JSON writer for the command-line tool's output: one object per call chain,
// keys in the order written, strings escaped, doubles printed so they read back exactly.
// Strings are bytes: well-formed UTF-8 is kept as it is, control characters become \uXXXX
// and every byte outside well-formed UTF-8 becomes \ufffd, so the text is always valid JSON.
//
//   JsonWriter j; j.BeginObject().Key("id").String("00dc").Key("size").Int(12).EndObject();
//   puts(j.Text().c_str());

#include <cstdint>
#include <string>

class JsonWriter {
public:
    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    JsonWriter& Key(const std::string& key);
    JsonWriter& String(const std::string& value);
    JsonWriter& Int(int64_t value);
    JsonWriter& UInt(uint64_t value);
    JsonWriter& Double(double value);
    JsonWriter& Bool(bool value);
    JsonWriter& Null();
    // Inserts already-formatted JSON as one value.
    JsonWriter& Raw(const std::string& json);

    const std::string& Text() const { return m_text; }
    static std::string Escape(const std::string& value);

private:
    void BeforeValue();

    std::string m_text;
    bool m_needComma = false;
    bool m_afterKey = false;
};
