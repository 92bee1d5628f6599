#pragma once
// A small JSON reader for the files this program writes itself and reads back (a package's
// manifest): the whole document into a tree of values. Strict: trailing text, a comment or a
// nesting deeper than kMaxJsonDepth is an error, so a file changed by hand or by damage is
// told apart from one written here. \u escapes become UTF-8.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

constexpr int kMaxJsonDepth = 64;

struct JsonMember;

struct JsonValue {
    enum class Type { Null, Bool, Number, String, Array, Object };
    Type type = Type::Null;
    bool boolean = false;
    double number = 0;
    bool integral = false;  // a number written without fraction or exponent
    int64_t integer = 0;    // its value, when integral
    std::string text;
    std::vector<JsonValue> items;                            // Array
    std::vector<JsonMember> members;  // Object, in the order written

    // The member named key of an object; null when there is none (or this is no object).
    const JsonValue* Find(const std::string& key) const;
    bool IsString() const { return type == Type::String; }
    bool IsInteger() const { return type == Type::Number && integral; }
    bool IsArray() const { return type == Type::Array; }
};

// A pair would need JsonValue complete where the vector is declared; this may wait.
struct JsonMember {
    std::string name;
    JsonValue value;
};

// False, with where and why in *error, when text is not one JSON value.
bool ParseJson(const std::string& text, JsonValue* value, std::string* error);
