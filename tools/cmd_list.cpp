// list: the recording list of one category (or all four) of a card, one JSON object per row in
// list order, with the six cells under their English column names.

#include <cstdio>
#include <string>
#include <vector>

#include "library/CardRoot.h"
#include "library/RecordingCatalogue.h"
#include "support/JsonWriter.h"
#include "support/StringTable.h"
#include "tools/ToolCommand.h"

namespace {

constexpr const char* kName = "list";
constexpr int kBlackboxNotFoundEnglish = 422;

bool ParseView(const std::string& text, CatalogueView& view) {
    static const std::pair<const char*, CatalogueView> kViews[] = {
        {"driving", CatalogueView::Driving},
        {"event", CatalogueView::Event},
        {"parking", CatalogueView::Parking},
        {"user", CatalogueView::User},
        {"all", CatalogueView::All}};
    for (const auto& [name, v] : kViews) {
        if (text == name) {
            view = v;
            return true;
        }
    }
    return false;
}

int RunList(const std::vector<std::string>& args) {
    std::string card;
    CatalogueView view = CatalogueView::Driving;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--category") {
            if (i + 1 >= args.size() || !ParseView(args[++i], view))
                return ToolUsageError(kName,
                                      "--category needs driving, event, parking, user or all");
        } else if (!args[i].empty() && args[i][0] == '-') {
            return ToolUsageError(kName, "unknown option " + args[i]);
        } else if (card.empty()) {
            card = args[i];
        } else {
            return ToolUsageError(kName, "more than one card given");
        }
    }
    if (card.empty()) return ToolUsageError(kName, "no card given");

    std::vector<CatalogueRow> rows;
    if (!ListCatalogue(CardRoot(card), view, rows))
        return ToolFailure(LoadResourceString(kBlackboxNotFoundEnglish));

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

TARVEX_TOOL_COMMAND(list, "list", "CARD [--category driving|event|parking|user|all]", RunList);
