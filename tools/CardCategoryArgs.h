#pragma once
// The arguments of the commands that read one category (or all four) of a card:
// CARD [--category driving|event|parking|user|all].

#include <string>
#include <vector>

#include "library/RecordingCatalogue.h"

constexpr const char* kCardCategoryUsage = "CARD [--category driving|event|parking|user|all]";

struct CardCategoryArgs {
    std::string card;
    CatalogueView view = CatalogueView::Driving;
};

// Reads args into out. kToolOk, or kToolUsage after the fault was reported for command.
int ParseCardCategoryArgs(const char* command, const std::vector<std::string>& args,
                          CardCategoryArgs& out);
