// list: the recording list of one category (or all four) of a card, one JSON object per row in
// list order, with the six cells under their English column names.

#include <cstdio>
#include <string>
#include <vector>

#include "library/CardRoot.h"
#include "library/RecordingCatalogue.h"
#include "support/JsonWriter.h"
#include "support/StringTable.h"
#include "tools/CardCategoryArgs.h"
#include "tools/ToolCommand.h"

namespace {

constexpr const char* kName = "list";

int RunList(const std::vector<std::string>& args) {
    CardCategoryArgs parsed;
    if (const int status = ParseCardCategoryArgs(kName, args, parsed); status != kToolOk)
        return status;

    std::vector<CatalogueRow> rows;
    if (!ListCatalogue(CardRoot(parsed.card), parsed.view, rows))
        return ToolFailure(RawText(texts::kNoBlackbox, /*korean=*/false));

    std::string out;
    out.reserve(rows.size() * 200);
    for (const CatalogueRow& row : rows) {
        JsonWriter j;
        j.BeginObject()
            .Key("FileName")
            .String(row.fileName)
            .Key("Type")
            .String(row.type)
            .Key("Date")
            .String(row.date)
            .Key("Rear")
            .String(row.rear)
            .Key("Size")
            .String(row.size)
            .Key("Path")
            .String(row.path)
            .EndObject();
        out += j.Text();
        out += '\n';
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? kToolOk : kToolRejected;
}

}  // namespace

TARVEX_TOOL_COMMAND(list, "list", kCardCategoryUsage, RunList);
