#pragma once
// The catalogue's tables, written once for both engines, and its version. A catalogue this
// program did not make (other tables, another application's name) or one made by a newer
// version is refused with a message saying which, before anything is written to it.
//
//   recordings  one row per archived file: where it lies in the archive (path, relative to
//               the archive folder, so PCs that mount it elsewhere agree), the card and
//               category it came from, its start on the camera clock and in UTC, length,
//               size, SHA-256, cameras, codec, trip. state 'claimed' while an import copies
//               it (claim_owner, claimed_utc say who and since when), 'ready' once the file
//               lies whole under its name.
//   trips, waypoints (one a second), events, bookmarks, imports
//   locks       why a recording must outlive every retention (bookmark, package, EVENT, USER)
//   meta        application name and schema version

#include <string>

#include "archive/SqlConnection.h"

constexpr int kArchiveSchemaVersion = 1;
constexpr const char* kArchiveApplication = "tarvex-archive";

// Creates the tables in an empty catalogue, or checks that an existing one is ours and not
// newer. Two programs opening one new catalogue at once create it once.
bool PrepareArchiveSchema(SqlConnection& db, std::string* error);
