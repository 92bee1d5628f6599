#pragma once
// Where things lie in an archive folder:
//
//   YYYY/MM/DD/NAME          the recordings, by the day of their start on the camera clock
//                            (undated/NAME for a name without a time); a name already taken
//                            by other content gets _2, _3 ... before its extension
//   settings/SHA_NAME        each card settings file met, once per content
//   catalogue.sqlite         the catalogue, unless it lives on a server

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

constexpr const char* kCatalogueFileName = "catalogue.sqlite";
constexpr const char* kSettingsFolder = "settings";

// $XDG_DATA_HOME/tarvex/archive, ~/.local/share/tarvex/archive without it.
std::string DefaultArchiveFolder();
// The catalogue of an archive unless --catalogue names another.
std::string DefaultCatalogue(const std::string& archiveFolder);

// "2026/03/14/REC_20260314_182509_D.AVI" (suffix 1), "..._D_2.AVI" (suffix 2).
std::string ArchivePathOf(const std::string& name, int suffix);

// Flushes a folder's entries (a rename in it) to the device.
bool SyncFolder(const std::string& folder);

// Calls visit for every recording file on a card (its category folders, regular files with a
// recording's name); false with a message when the folder is not a dashcam card.
bool ForEachCardRecording(
    const std::string& card,
    const std::function<void(const std::filesystem::directory_entry&, const char* category)>& visit,
    std::string* error);
