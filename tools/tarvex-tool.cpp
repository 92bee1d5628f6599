// tarvex-tool: drives the engine without a window, for automation, tests and benchmarks.

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/PendingFile.h"
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

bool ToolParseSeconds(const std::string& text, int64_t& ms) {
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || !end || *end != '\0' || !(v >= 0) || v > 1e9) return false;
    ms = static_cast<int64_t>(v * 1000 + 0.5);
    return true;
}

bool ToolParseInt(const std::string& text, long long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(text.c_str(), &end, 10);
    return errno == 0 && end && *end == '\0';
}

static void PrintHelp(FILE* out) {
    fprintf(out, "usage: tarvex-tool COMMAND [ARGS]\n\ncommands:\n");
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
