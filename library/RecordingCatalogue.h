#pragma once
// The recording catalogue: which files of a category folder are recordings, their order
// (newest first) and the six text cells of a list row. The window binds the rows to its list
// as they stand; the rows carry nothing else.
//
// A recording's name is CATEGORY_YYYYMMDD_HHMMSS_FLAG.EXT, e.g. REC_20140307_182509_D.AVI.
// Only the extension (.AVI or .MP4, any case) decides whether a file is listed; a name that
// does not follow the grammar is listed with whatever its cells yield.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct CatalogueRow {
    std::string fileName;  // column 0, hidden
    std::string type;      // "REC", "EVT", "PAK", "MAN" or the name's first field
    std::string date;      // "2014.03.07 18:25:09"
    std::string rear;      // "0" for a recording with the rear camera, else empty
    std::string size;      // KiB, one thousands separator: "2621,440"
    std::string path;      // folder + "/" + name, how a row reaches its file
};

enum class CatalogueView { Driving, Event, Parking, User, All };

// Folder names on the card, in capitals as the dashcam writes them.
constexpr const char* kDrivingFolder = "DRIVING";
constexpr const char* kEventFolder = "EVENT";
constexpr const char* kParkingFolder = "PARKING";
constexpr const char* kUserFolder = "USER";
constexpr const char* kSettingFolder = "SETTING";
// The four category folders in the order the all view scans them.
constexpr const char* kCategoryFolders[] = {kDrivingFolder, kEventFolder, kParkingFolder,
                                            kUserFolder};

// True when the name's last four characters read ".AVI" or ".MP4" in any case.
bool IsRecordingName(std::string_view name);

// True for a recording named as the camera names it: a category token (REC, EVENT, PARKING,
// USER), the date and time fields and a flag ("REC_20260314_182509_D.AVI").
bool IsCameraRecordingName(std::string_view name);

// The cells of one row.
std::string TypeCell(std::string_view name);
std::string DateCell(std::string_view name);
std::string RearCell(std::string_view name);
std::string SizeCell(uint64_t sizeBytes);
CatalogueRow MakeCatalogueRow(const std::string& folder, const std::string& name,
                              uint64_t sizeBytes);

// Adds the folder's recordings (folder without a trailing '/') newest first at the top of
// rows, above every row already there. Never removes rows. False only when the folder
// cannot be searched; an existing folder without recordings is a success.
bool ScanFolder(const std::string& folder, std::vector<CatalogueRow>& rows);

// ScanFolder for a folder that is not a card: only recordings named as the camera names them
// get rows (other AVI and MP4 files there, an exported clip, a film, have no cells to show).
bool ScanLooseFolder(const std::string& folder, std::vector<CatalogueRow>& rows);

// A category command: empties rows, then scans the view's folder under the card root (see
// CardRoot). The all view scans DRIVING, EVENT, PARKING, USER in that order, so USER rows
// end on top; only a DRIVING failure counts. On failure rows stay empty and the window
// forgets the drive and shows message 421/422. folderPath (when given) receives the folder
// scanned last. An empty root (no drive chosen) fails without searching anything.
bool ListCatalogue(const std::string& cardRoot, CatalogueView view, std::vector<CatalogueRow>& rows,
                   std::string* folderPath = nullptr);

// True when the card root (as CardRoot gives it) holds a DRIVING folder, the one folder every
// listing of the card needs. False for an empty root.
bool HasCardLayout(const std::string& cardRoot);
// The view a category folder's name stands for ("DRIVING", "EVENT", "PARKING", "USER", as the
// dashcam writes them); false for any other name.
bool CategoryViewOfFolder(std::string_view folderName, CatalogueView* view);
