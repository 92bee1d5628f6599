#include "support/Trace.h"

#include <cstdarg>
#include <mutex>
#include <vector>

namespace {
std::mutex g_traceMutex;
FILE* g_traceStream = nullptr;                         // guarded by g_traceMutex
std::function<void(const std::string&)> g_traceSink;  // guarded by g_traceMutex
}  // namespace

void Trace(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int n = vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text;
    if (n > 0) {
        std::vector<char> buf(static_cast<size_t>(n) + 1);
        vsnprintf(buf.data(), buf.size(), format, args);
        text.assign(buf.data(), static_cast<size_t>(n));
    }
    va_end(args);

    std::lock_guard<std::mutex> lock(g_traceMutex);
    if (g_traceSink) {
        g_traceSink(text);
        return;
    }
    FILE* out = g_traceStream ? g_traceStream : stdout;
    fputs(text.c_str(), out);
    fflush(out);
}

void SetTraceStream(FILE* stream) {
    std::lock_guard<std::mutex> lock(g_traceMutex);
    g_traceStream = stream;
}

void SetTraceSink(std::function<void(const std::string&)> sink) {
    std::lock_guard<std::mutex> lock(g_traceMutex);
    g_traceSink = std::move(sink);
}
