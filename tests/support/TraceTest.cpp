#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/Trace.h"

namespace {

std::string ReadAll(FILE* f) {
    std::string text;
    rewind(f);
    char buf[256];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    return text;
}

}  // namespace

TEST(Trace, FrameLinesReachTheStreamOnlyWhenSwitchedOnButAlwaysASink) {
    FILE* f = tmpfile();
    ASSERT_NE(f, nullptr);
    SetTraceStream(f);
    SetFrameTrace(false);
    Trace("Wrong Size %d < %d\n", 5, 6);
    TraceFrame("[%02d] dif %2d\n", 0, 33);
    SetFrameTrace(true);
    TraceFrame("[%02d] dif %2d\n", 1, 34);
    SetFrameTrace(false);
    EXPECT_EQ(ReadAll(f), "Wrong Size 5 < 6\n[01] dif 34\n");

    std::string captured;
    SetTraceSink([&](const std::string& line) { captured += line; });
    TraceFrame("[%02d] dif %2d\n", 0, 35);
    SetTraceSink(nullptr);
    EXPECT_EQ(captured, "[00] dif 35\n");
    SetTraceStream(nullptr);
    fclose(f);
}
