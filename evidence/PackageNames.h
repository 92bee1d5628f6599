#pragma once
// The names of what a package holds, relative to its folder; one list for the writer, the
// checker and the guide inside the package.

inline constexpr const char* kPackageOriginals = "originals";
inline constexpr const char* kPackageLosslessClip = "clip.mp4";
inline constexpr const char* kPackageComposedClip = "clip_composed.mp4";
inline constexpr const char* kPackageTrack = "track.gpx";
inline constexpr const char* kPackageReport = "report.pdf";
inline constexpr const char* kPackageReadme = "README.txt";
inline constexpr const char* kPackageManifest = "manifest.json";
inline constexpr const char* kPackageSums = "SHA256SUMS";
inline constexpr const char* kPackageSignature = "SHA256SUMS.p7s";
inline constexpr const char* kPackageConfigCopy = "blackbox.cfg";
