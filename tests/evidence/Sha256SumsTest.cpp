// The package's SHA256SUMS lines as sha256sum writes and reads them, and the hash itself.
#include <gtest/gtest.h>

#include <string>

#include "evidence/Sha256.h"

namespace {

const std::string kAbc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

}  // namespace

TEST(Sha256Sums, TheHashMatchesTheStandardVectors) {
    EXPECT_EQ(Sha256OfBytes(""),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256OfBytes("abc"), kAbc);
    // Two blocks: the padding spills into a second one.
    EXPECT_EQ(Sha256OfBytes("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST(Sha256Sums, EveryNameComesBackAsWritten) {
    for (const std::string name :
         {"report.pdf", "originals/REC_20260314_182500_E.AVI", "a name with  spaces", "back\\slash",
          "new\nline", "carriage\rreturn", "*starred"}) {
        const std::string line = Sha256SumsLine(kAbc, name);
        ASSERT_EQ(line.back(), '\n');
        std::string hex, rel;
        ASSERT_TRUE(ParseSha256SumsLine(line.substr(0, line.size() - 1), &hex, &rel)) << line;
        EXPECT_EQ(hex, kAbc);
        EXPECT_EQ(rel, name);
    }
}

TEST(Sha256Sums, LinesAreReadAsSha256sumReadsThem) {
    struct Row {
        const char* what;
        std::string line;
        bool read;
        std::string rel;
    };
    const std::string upper = "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD";
    const Row rows[] = {
        {"text mode", kAbc + "  clip.mp4", true, "clip.mp4"},
        {"binary mode", kAbc + " *clip.mp4", true, "clip.mp4"},
        {"capital hex digits", upper + "  clip.mp4", true, "clip.mp4"},
        {"no name", kAbc + "  ", false, ""},
        {"one space only", kAbc + " clip.mp4", false, ""},
        {"a short hash", kAbc.substr(1) + "  clip.mp4", false, ""},
        {"not hex", "g" + kAbc.substr(1) + "  clip.mp4", false, ""},
        {"an unknown escape", "\\" + kAbc + "  a\\tb", false, ""},
        {"an escape cut off", "\\" + kAbc + "  a\\", false, ""},
        {"escapes only in an escaped line", kAbc + "  a\\nb", true, "a\\nb"},
        {"empty", "", false, ""},
    };
    for (const Row& row : rows) {
        std::string hex, rel;
        EXPECT_EQ(ParseSha256SumsLine(row.line, &hex, &rel), row.read) << row.what;
        if (row.read) EXPECT_EQ(rel, row.rel) << row.what;
    }
}
