#pragma once
// How the window shows each kind of driving event: its colour (the slider's ticks, the graph's
// lines, the legend's swatches) and its name in the user's language.

#include <QString>
#include <cstdint>

#include "telemetry/EventDetector.h"

// Every kind, in the order the legend lists them.
inline constexpr DrivingEventKind kEventKinds[] = {
    DrivingEventKind::HarshBraking, DrivingEventKind::HardAcceleration, DrivingEventKind::SharpTurn,
    DrivingEventKind::Impact};

// 0x00BBGGRR, apart from the three axis colours of the graph.
uint32_t EventColour(DrivingEventKind kind);
// "Hard braking", "급제동", ...
QString EventKindName(DrivingEventKind kind);
