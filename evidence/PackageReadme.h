#pragma once
// The guide inside a package (README.txt): what each file is, which clip to open, and how to
// check the package with the standard tools alone. In the report's language first, then in
// English (a Korean package is often handed on to someone who reads English).

#include <cstddef>
#include <string>

// language: "ko" or "en"; the flags say which optional files the package holds;
// composedParts: how many files the composed clip was cut into (0 or 1: one); shareCopy: the
// blurred copy without the originals and the lossless clip.
std::string PackageReadme(const std::string& language, bool hasTrack, bool hasReport, bool isSigned,
                          size_t composedParts = 0, bool shareCopy = false);
