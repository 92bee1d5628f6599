#include "tools/CardCategoryArgs.h"

#include <utility>

#include "tools/ToolCommand.h"

namespace {

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

}  // namespace

int ParseCardCategoryArgs(const char* command, const std::vector<std::string>& args,
                          CardCategoryArgs& out) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--category") {
            if (i + 1 >= args.size() || !ParseView(args[++i], out.view))
                return ToolUsageError(command,
                                      "--category needs driving, event, parking, user or all");
        } else if (!args[i].empty() && args[i][0] == '-') {
            return ToolUsageError(command, "unknown option " + args[i]);
        } else if (out.card.empty()) {
            out.card = args[i];
        } else {
            return ToolUsageError(command, "more than one card given");
        }
    }
    if (out.card.empty()) return ToolUsageError(command, "no card given");
    return kToolOk;
}
