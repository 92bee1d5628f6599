#pragma once
// The program's version, defined once by the build (the project's version in CMake).

extern const char* const kProgramVersion;
