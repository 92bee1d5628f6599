#pragma once
// Names for recordings brought back from a card: the name their directory entry gives where
// there is one (made safe to write into a folder), else the camera time of their first GPS
// fix (RECOVERED_20260314_182509_D.AVI, D with a rear camera, N without), else their sector
// (RECOVERED_S4096_D.AVI).
// Names already taken in the output folder or by this run get _2, _3, ... before the
// extension; an existing file is never replaced.

#include <cstdint>
#include <set>
#include <string>

#include "recover/RecordingWalk.h"

// A name from the card, or "" when nothing usable is left of it: path separators and control
// characters become '_', and "." and ".." are no names.
std::string SafeCardName(const std::string& name);

// The name of a recording found without a directory entry.
std::string RecoveredName(const RecordingWalk& walk, uint64_t sector);

// A path in folder for name that no file holds and that is not in taken; added to taken.
std::string FreeOutputPath(const std::string& folder, const std::string& name,
                           std::set<std::string>& taken);
