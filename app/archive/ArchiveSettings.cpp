#include "app/archive/ArchiveSettings.h"

#include "archive/ArchiveLayout.h"
#include "support/Profile.h"

namespace {

// Folders and server addresses can be long; a value cut short would name another place.
constexpr uint32_t kValueChars = 4096;

}  // namespace

std::string ArchiveSettings::Folder() const {
    return folder.empty() ? DefaultArchiveFolder() : folder;
}

std::string ArchiveSettings::Catalogue() const {
    return catalogue.empty() ? DefaultCatalogue(Folder()) : catalogue;
}

const char* ImportChoiceName(ImportChoice choice) {
    switch (choice) {
        case ImportChoice::Always:
            return "always";
        case ImportChoice::Never:
            return "never";
        case ImportChoice::Ask:
            break;
    }
    return "ask";
}

ArchiveSettings ReadArchiveSettings(const std::string& configPath) {
    ArchiveSettings s;
    s.folder = GetProfileString("config", kArchiveFolderKey, "", kValueChars, configPath);
    s.catalogue = GetProfileString("config", kArchiveCatalogueKey, "", kValueChars, configPath);
    const std::string choice =
        GetProfileString("config", kArchiveImportSettingKey, "ask", 16, configPath);
    s.import = choice == "always"  ? ImportChoice::Always
               : choice == "never" ? ImportChoice::Never
                                   : ImportChoice::Ask;
    return s;
}

bool WriteArchiveSettings(const std::string& configPath, const ArchiveSettings& s) {
    // An empty value is left out of the file, so the default follows the program.
    const auto value = [](const std::string& v) { return v.empty() ? nullptr : v.c_str(); };
    return WritePrivateProfileString("config", kArchiveFolderKey, value(s.folder),
                                     configPath.c_str()) &&
           WritePrivateProfileString("config", kArchiveCatalogueKey, value(s.catalogue),
                                     configPath.c_str()) &&
           WritePrivateProfileString("config", kArchiveImportSettingKey, ImportChoiceName(s.import),
                                     configPath.c_str());
}
