#pragma once
// Which of a card's recordings the archive does not hold: what a format of the card would take
// away for good. A recording counts as archived when the catalogue has a ready row of the same
// name and size (reading the card to hash every recording would keep the user waiting).

#include <cstdint>
#include <string>
#include <vector>

struct UnarchivedRecording {
    std::string name;
    std::string category;  // DRIVING, EVENT, PARKING, USER
    uint64_t size = 0;
};

// The card's recordings missing from the catalogue at location (see OpenSqlConnection), the
// EVENT and USER ones first, then the rest, each group by name. A catalogue file that does not
// exist yet holds nothing (and is not created). False with the cause in *error when the card
// or the catalogue cannot be read.
bool ListUnarchived(const std::string& card, const std::string& catalogue,
                    std::vector<UnarchivedRecording>* out, std::string* error);
