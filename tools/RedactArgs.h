#pragma once
// --redact MASKS for the commands that let pictures leave: the masks file read and checked
// against the recording it is laid over.

#include <string>
#include <vector>

#include "redact/MaskFile.h"

// False, with a sentence naming the region at fault, when the file cannot be read, is of a
// newer version, or was made on another recording.
bool LoadRedaction(const std::string& recording, const std::string& masksPath, MaskSet* set,
                   std::string* error);
