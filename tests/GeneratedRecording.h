#pragma once
// A generated recording kept in the tests' data folder: written once (under a temporary name,
// renamed when whole, so test programs running side by side never read a half-written one)
// and reused by later runs.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tools/cardgen/CardGenerator.h"

// The recording at path, generated with options when it is not there yet; empty (with a test
// failure) when it cannot be written.
inline std::string GeneratedRecording(const std::string& path, const RecordingOptions& options) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    if (std::filesystem::exists(path)) return path;
    std::string error;
    const std::string temp = path + "." + std::to_string(getpid()) + ".part";
    if (!WriteRecording(temp, options, &error)) {
        ADD_FAILURE() << "cannot generate " << path << ": " << error;
        return {};
    }
    std::filesystem::rename(temp, path);
    return path;
}
