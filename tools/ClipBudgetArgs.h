#pragma once
// The options that size a composed clip for where it goes, shared by export and package:
//   --max-mb N       all the parts together at most N megabytes (10^6 bytes, as portals count)
//   --max-files N    at most N files
//   --max-seconds N  each file at most N seconds
//   --portal kr|uk   a portal's limits (see ClipBudget.h); the explicit options above win

#include <string>
#include <vector>

#include "media/ClipBudget.h"
#include "media/ClipFitter.h"
#include "support/JsonWriter.h"

struct ClipBudgetArgs {
    ClipBudget budget;
    std::string portal;
};

// 1 when args[*i] is one of the options (*i then points at its last word), 0 when it is not,
// -1 (with the message in *error) when its value is wrong.
int ParseClipBudgetOption(const std::vector<std::string>& args, size_t* i, ClipBudgetArgs* out,
                          std::string* error);
// Applies the portal's limits under the explicit ones; the final budget.
ClipBudget FinalBudget(const ClipBudgetArgs& args);

// The recordings' own bit rate over their length (what a fitted clip is capped at); 0 when
// it cannot be read.
int64_t RecordingsBitsPerSecond(const std::vector<std::string>& paths);

// The parts of a fitted clip as JSON: "parts": [{path, from_ms, to_ms, ...}], the rate, the
// picture and what was lowered.
void WriteFitJson(const FitResult& fit, int64_t clipStartMs, JsonWriter& j);
