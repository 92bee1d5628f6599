#pragma once
// Where the window's archive is and what it does when a card comes: the archive folder, the
// catalogue (empty: the SQLite file in the folder) and the import offer, kept in the
// viewer's settings file beside its other keys.

#include <string>

enum class ImportChoice { Ask, Always, Never };

struct ArchiveSettings {
    std::string folder;     // empty: the default archive folder
    std::string catalogue;  // empty: catalogue.sqlite in the folder
    ImportChoice import = ImportChoice::Ask;

    // The folder and catalogue in use, defaults filled in.
    std::string Folder() const;
    std::string Catalogue() const;
};

constexpr const char* kArchiveFolderKey = "archive_folder";
constexpr const char* kArchiveCatalogueKey = "archive_catalogue";
constexpr const char* kArchiveImportSettingKey = "archive_import";

ArchiveSettings ReadArchiveSettings(const std::string& configPath);
// False when the settings file cannot be written.
bool WriteArchiveSettings(const std::string& configPath, const ArchiveSettings& settings);
const char* ImportChoiceName(ImportChoice choice);
