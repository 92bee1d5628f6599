#pragma once
// Runs tarvex-tool as a user would, through the shell, and keeps its standard output and exit
// status. Tests that check a command's output and statuses share this.

#include <sys/wait.h>

#include <cstdio>
#include <string>

struct ToolOutput {
    int status = -1;  // exit status; -1 when the tool could not run or was killed
    std::string out;
};

// commandLine is everything after the tool's path (sub-command, arguments, redirections);
// environment, when given, stands before the tool's path ("TZ=UTC").
inline ToolOutput RunToolCommand(const std::string& commandLine,
                                 const std::string& environment = "") {
    ToolOutput run;
    std::string command = environment.empty() ? "" : environment + " ";
    command += std::string(TARVEX_TOOL_PATH) + " " + commandLine;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
    const int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}
