#pragma once
// Sub-commands of tarvex-tool. Each command lives in its own source file and registers
// itself with TARVEX_TOOL_COMMAND; main() dispatches on the first argument.
//
// Exit status of every command: 0 success, 1 the file was rejected or unreadable (with a
// one-line message on stderr), 2 wrong usage.

#include <cstdint>
#include <string>
#include <vector>

constexpr int kToolOk = 0;
constexpr int kToolRejected = 1;
constexpr int kToolUsage = 2;

struct ToolCommand {
    const char* name;
    const char* usage;  // arguments after the command name, for the help text
    int (*run)(const std::vector<std::string>& args);  // args exclude the command name
};

std::vector<ToolCommand>& ToolCommands();

struct ToolCommandRegistrar {
    explicit ToolCommandRegistrar(const ToolCommand& command) { ToolCommands().push_back(command); }
};

#define TARVEX_TOOL_COMMAND(ident, name, usage, fn) \
    static ToolCommandRegistrar g_toolCommand_##ident({name, usage, fn})

// Reports wrong usage of one command on stderr and returns kToolUsage.
int ToolUsageError(const char* command, const std::string& message);
// Reports a rejected or unreadable input on stderr and returns kToolRejected.
int ToolFailure(const std::string& message);
// Parses a whole decimal integer (digits, a leading minus allowed); false for anything else.
bool ToolParseInt(const std::string& text, long long& value);
// Parses a number of seconds written as plain decimal digits with an optional fraction
// ("12", "12.5", ".5") into milliseconds; false for anything else (signs, exponents, hex).
bool ToolParseSeconds(const std::string& text, int64_t& ms);
