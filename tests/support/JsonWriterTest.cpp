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
