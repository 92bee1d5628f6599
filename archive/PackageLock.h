#pragma once
// Recordings that went into an evidence package are kept from every prune of the archive.

#include <string>
#include <vector>

// Locks ("package") each of files that lies in archiveFolder and is catalogued there; files
// elsewhere (a card, a copy) are left alone, and a catalogue that does not exist is not made.
// The number locked, or -1 when the catalogue could not be read or written.
int LockPackagedRecordings(const std::vector<std::string>& files, const std::string& archiveFolder);
