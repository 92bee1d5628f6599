#pragma once
// Whether a PDF file we wrote is whole: a report cut short (a full disk, a writer that gave
// up half-way) has no trailer, or one pointing past its end, and no reader opens it.
//
// No Qt. Reads the file only.

#include <string>

// True when the file starts as a PDF and ends with a trailer whose startxref points at a
// cross-reference table or stream inside the file; false with a sentence naming `name`.
bool PdfIsWhole(const std::string& path, const std::string& name, std::string* error);
