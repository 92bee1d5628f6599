// Every option that takes a time is read as plain decimal digits: hexadecimal, exponents,
// signs, blanks and the words strtod knows are wrong usage, whatever the command. The files
// named need not exist, since the options are read first.

#include <gtest/gtest.h>

#include <string>

#include "tests/ToolRun.h"

namespace {

TEST(SecondsArgumentTest, OnlyPlainDecimalsAreSeconds) {
    const char* commands[] = {
        "export REC_20260314_182509_D.AVI --to 20 out.mp4 --from",
        "export REC_20260314_182509_D.AVI --from 1 out.mp4 --to",
        "package REC_20260314_182509_D.AVI --to 20 out --from",
        "package REC_20260314_182509_D.AVI --from 1 --to 20 out --at",
        "still REC_20260314_182509_D.AVI out --at",
    };
    const char* wrong[] = {"0x10", "1e1", "+5", " 5", "inf", "-1", "", "1.2.3"};
    for (const char* command : commands)
        for (const char* value : wrong) {
            const ToolOutput run =
                RunToolCommand(std::string(command) + " '" + value + "' 2>/dev/null");
            EXPECT_EQ(run.status, 2) << command << " '" << value << "'";
        }
    // The player's whole seconds and milliseconds: decimal digits only as well.
    for (const char* option : {"--seek-forward", "--seek-ms", "--for-ms"})
        for (const char* value : {"0x10", "+5", " 5", "1.5", "1e1"}) {
            const ToolOutput run = RunToolCommand(std::string("play REC_20260314_182509_D.AVI ") +
                                                  option + " '" + value + "' 2>/dev/null");
            EXPECT_EQ(run.status, 2) << option << " '" << value << "'";
        }
}

}  // namespace
