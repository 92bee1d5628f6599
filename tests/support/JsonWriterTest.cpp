#include <gtest/gtest.h>

#include "support/JsonWriter.h"

TEST(JsonWriter, NestedValuesCommasAndEscapes) {
    JsonWriter j;
    j.BeginObject()
        .Key("id").String("a\"b\\c\n\x01")
        .Key("list").BeginArray().Int(-3).UInt(4).Bool(true).Null().EndArray()
        .Key("inner").BeginObject().Key("x").Double(0.1).EndObject()
        .Key("nan").Double(0.0 / 0.0)
        .EndObject();
    EXPECT_EQ(j.Text(),
              "{\"id\": \"a\\\"b\\\\c\\n\\u0001\", \"list\": [-3, 4, true, null], "
              "\"inner\": {\"x\": 0.10000000000000001}, \"nan\": null}");
}

// Bytes in, the JSON string's inside out: well-formed UTF-8 passes unchanged, every byte that
// is not part of a well-formed sequence becomes one \ufffd, controls become \uXXXX.
struct EscapeRow {
    const char* name;
    std::string bytes;
    std::string escaped;
};

class JsonEscape : public ::testing::TestWithParam<EscapeRow> {};

TEST_P(JsonEscape, KeepsUtf8AndReplacesEveryOtherByte) {
    EXPECT_EQ(JsonWriter::Escape(GetParam().bytes), "\"" + GetParam().escaped + "\"");
}

const std::string kR = "\\ufffd";
INSTANTIATE_TEST_SUITE_P(
    Bytes, JsonEscape,
    ::testing::Values(EscapeRow{"Ascii", "REC_1.AVI", "REC_1.AVI"},
                      EscapeRow{"TwoThreeFourBytes", "\xC3\xA9\xEC\xA3\xBC\xF0\x9F\x9A\x97",
                                "\xC3\xA9\xEC\xA3\xBC\xF0\x9F\x9A\x97"},
                      EscapeRow{"Limits", "\xC2\x80\xED\x9F\xBF\xEE\x80\x80\xF4\x8F\xBF\xBF",
                                "\xC2\x80\xED\x9F\xBF\xEE\x80\x80\xF4\x8F\xBF\xBF"},
                      EscapeRow{"Latin1Name", "caf\xE9.AVI", "caf" + kR + ".AVI"},
                      EscapeRow{"StrayContinuation",
                                "a\x80\xBF"
                                "b",
                                "a" + kR + kR + "b"},
                      EscapeRow{"OverlongSlash", "\xC0\xAF", kR + kR},
                      EscapeRow{"OverlongNul", "\xC1\x80", kR + kR},
                      EscapeRow{"OverlongThree", "\xE0\x80\xAF", kR + kR + kR},
                      EscapeRow{"OverlongFour", "\xF0\x80\x80\xAF", kR + kR + kR + kR},
                      EscapeRow{"Surrogate", "\xED\xA0\x80", kR + kR + kR},
                      EscapeRow{"PastU10FFFF", "\xF4\x90\x80\x80", kR + kR + kR + kR},
                      EscapeRow{"NoSuchLead", "\xF5\x80\xFF", kR + kR + kR},
                      EscapeRow{"CutByTheEnd", "x\xE2\x82", "x" + kR + kR},
                      EscapeRow{"CutByAnAsciiByte",
                                "\xF0\x9F\x9A"
                                "A",
                                kR + kR + kR + "A"},
                      EscapeRow{"CutByANewLead", "\xE2\x82\xC3\xA9", kR + kR + "\xC3\xA9"},
                      EscapeRow{"Controls", std::string("\x00\x1F\x7F", 3) + "\"\\",
                                "\\u0000\\u001f\\u007f\\\"\\\\"}),
    [](const ::testing::TestParamInfo<EscapeRow>& info) { return info.param.name; });
