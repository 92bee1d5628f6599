#include "tools/cardgen/CardGenerator.h"

bool WriteCard(const std::string&, const CardOptions&, std::string* error) {
    if (error) *error = "not written yet";
    return false;
}
