#pragma once
// Debug trace lines. The engine writes its diagnostic lines ("Wrong Size %d < %d\n", the
// sync statistics, key presses) through Trace(); by default they go to standard output as
// plain text. The command-line tool moves them to standard error so its JSON stays clean,
// and tests capture them.

#include <cstdio>
#include <functional>
#include <string>

void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
// A line written for every frame (pacing statistics): it reaches an installed sink, but the
// stream only when per-frame tracing is on (SetFrameTrace, or TARVEX_TRACE_FRAMES=1 in the
// environment), so a normal run's console is not flooded thirty times a second.
void TraceFrame(const char* format, ...) __attribute__((format(printf, 1, 2)));
void SetFrameTrace(bool on);

// Sends every later trace line to the given stream (stdout when null).
void SetTraceStream(FILE* stream);
// Sends every later trace line to a function instead; an empty function restores the stream.
void SetTraceSink(std::function<void(const std::string&)> sink);
