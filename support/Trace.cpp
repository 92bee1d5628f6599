#include "support/Trace.h"

#include <atomic>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace {
std::mutex g_traceMutex;
FILE* g_traceStream = nullptr;                         // guarded by g_traceMutex
std::function<void(const std::string&)> g_traceSink;  // guarded by g_traceMutex
std::atomic<int> g_frameTrace{-1};  // -1 not yet read from the environment, 0 off, 1 on
}  // namespace

static void TraceV(bool frameLine, const char* format, va_list args);

void Trace(const char* format, ...) {
    va_list args;
    va_start(args, format);
    TraceV(false, format, args);
    va_end(args);
}

void TraceFrame(const char* format, ...) {
    va_list args;
    va_start(args, format);
    TraceV(true, format, args);
    va_end(args);
}

void SetFrameTrace(bool on) { g_frameTrace.store(on ? 1 : 0); }

static bool FrameTraceOn() {
    int state = g_frameTrace.load();
    if (state < 0) {
        const char* env = std::getenv("TARVEX_TRACE_FRAMES");
        state = (env && *env && std::strcmp(env, "0") != 0) ? 1 : 0;
        int unset = -1;
        g_frameTrace.compare_exchange_strong(unset, state);
        state = g_frameTrace.load();
    }
    return state == 1;
}

static void TraceV(bool frameLine, const char* format, va_list args) {
    {
        std::lock_guard<std::mutex> lock(g_traceMutex);
        if (frameLine && !g_traceSink && !FrameTraceOn()) return;
    }
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

    std::lock_guard<std::mutex> lock(g_traceMutex);
    if (frameLine && !g_traceSink && !FrameTraceOn()) return;
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
