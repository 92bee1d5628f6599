// tarvex-tool: drives the engine without a window, for automation, tests and benchmarks.

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/PendingFile.h"
#include "support/ProgramVersion.h"
#include "support/Trace.h"
#include "tools/ToolCommand.h"

std::vector<ToolCommand>& ToolCommands() {
    static std::vector<ToolCommand> commands;
    return commands;
}

int ToolUsageError(const char* command, const std::string& message) {
    for (const ToolCommand& c : ToolCommands()) {
        if (std::strcmp(c.name, command) == 0) {
            fprintf(stderr, "tarvex-tool %s: %s\nusage: tarvex-tool %s %s\n", command,
                    message.c_str(), c.name, c.usage);
            return kToolUsage;
        }
    }
    fprintf(stderr, "tarvex-tool %s: %s\n", command, message.c_str());
    return kToolUsage;
}

int ToolFailure(const std::string& message) {
    fprintf(stderr, "%s\n", message.c_str());
    return kToolRejected;
}

namespace {

constexpr double kLongestSeconds = 1e9;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

// Plain decimals only: strtod would also take "0x10" as sixteen seconds, "1e3", "inf" and
// leading blanks, none of which a person means as a number of seconds.
bool ToolParseSeconds(const std::string& text, int64_t& ms) {
    const size_t point = text.find('.');
    const std::string whole = text.substr(0, point);
    const std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
    const auto digits = [](const std::string& part) {
        return std::all_of(part.begin(), part.end(), IsDigit);
    };
    if (whole.empty() && fraction.empty()) return false;
    if (!digits(whole) || !digits(fraction)) return false;
    double v = 0;
    const auto [end, code] =
        std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::fixed);
    if (code != std::errc() || end != text.data() + text.size() || v > kLongestSeconds)
        return false;
    ms = static_cast<int64_t>(v * 1000 + 0.5);
    return true;
}

bool ToolParseInt(const std::string& text, long long& value) {
    const size_t digitsAt = !text.empty() && text[0] == '-' ? 1 : 0;
    if (text.size() == digitsAt || !std::all_of(text.begin() + digitsAt, text.end(), IsDigit))
        return false;
    const auto [end, code] = std::from_chars(text.data(), text.data() + text.size(), value);
    return code == std::errc() && end == text.data() + text.size();
}

static void PrintHelp(FILE* out) {
    fprintf(out, "usage: tarvex-tool COMMAND [ARGS]   (tarvex-tool --version)\n\ncommands:\n");
    for (const ToolCommand& c : ToolCommands()) fprintf(out, "  %s %s\n", c.name, c.usage);
}

int main(int argc, char** argv) {
    // Trace lines would interleave with the JSON on stdout.
    SetTraceStream(stderr);
    // A killed export leaves no temporary behind.
    InstallPendingFileCleanup();
    if (argc < 2) {
        PrintHelp(stderr);
        return kToolUsage;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "help") == 0) {
        PrintHelp(stdout);
        return kToolOk;
    }
    if (std::strcmp(argv[1], "--version") == 0 || std::strcmp(argv[1], "version") == 0) {
        std::printf("tarvex-tool %s\n", kProgramVersion);
        return kToolOk;
    }
    for (const ToolCommand& c : ToolCommands()) {
        if (std::strcmp(c.name, argv[1]) == 0) {
            std::vector<std::string> args(argv + 2, argv + argc);
            return c.run(args);
        }
    }
    fprintf(stderr, "tarvex-tool: unknown command '%s'\n", argv[1]);
    PrintHelp(stderr);
    return kToolUsage;
}
