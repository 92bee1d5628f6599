#include "app/archive/ArchiveViewModel.h"

#include <algorithm>
#include <filesystem>
#include <memory>

#include "archive/ArchiveCatalogue.h"
#include "support/StringTable.h"

namespace {

// Opens the catalogue to read it; a missing catalogue file is an archive not made yet, and
// is not created here. Null with the message for the window on failure.
std::unique_ptr<ArchiveCatalogue> OpenForReading(const std::string& folder,
                                                 const std::string& location,
                                                 std::string* message) {
    std::error_code ec;
    if (!IsServerCatalogue(location) && !std::filesystem::is_regular_file(location, ec)) {
        *message = Text(texts::kNoArchive, folder.c_str());
        return nullptr;
    }
    auto catalogue = std::make_unique<ArchiveCatalogue>();
    std::string error;
    if (catalogue->Open(location, &error)) return catalogue;
    *message = Text(texts::kCatalogueFailed, error.c_str());
    return nullptr;
}

}  // namespace

ArchiveViewModel::ArchiveViewModel(QObject* parent)
    : QObject(parent), m_listJob(this), m_routeJob(this) {}

void ArchiveViewModel::SetArchive(std::string folder, std::string catalogue) {
    m_folder = std::move(folder);
    m_catalogue = std::move(catalogue);
    m_listJob.Cancel();
    m_routeJob.Cancel();
    m_routes = {};
}

template <typename Read>
void ArchiveViewModel::Run(BackgroundJob& job, Read read) {
    job.Start([this, folder = m_folder, location = m_catalogue, read](JobContext& context) {
        std::string message;
        std::unique_ptr<ArchiveCatalogue> catalogue = OpenForReading(folder, location, &message);
        if (catalogue && !read(catalogue->Db(), context, &message)) {
            message = Text(texts::kCatalogueFailed, message.c_str());
            catalogue.reset();
        }
        if (!catalogue)
            context.Post([this, message] { emit failed(QString::fromStdString(message)); });
    });
}

void ArchiveViewModel::LoadDays(std::optional<int64_t> beforeDay) {
    Run(m_listJob, [this, beforeDay](SqlConnection& db, JobContext& context, std::string* error) {
        DayPage page;
        if (!ListDays(db, beforeDay, kBrowseDaysPerPage, &page, error)) return false;
        context.Post([this, page, first = !beforeDay] { emit daysLoaded(page, first); });
        return true;
    });
}

void ArchiveViewModel::Find(const FindQuery& query) {
    Run(m_listJob, [this, query](SqlConnection& db, JobContext& context, std::string* error) {
        std::vector<FindMatch> matches;
        if (!FindInArchive(db, query, &matches, error)) return false;
        // Newest first, as the days are listed.
        std::reverse(matches.begin(), matches.end());
        context.Post([this, matches] { emit found(matches); });
        return true;
    });
}

void ArchiveViewModel::LoadRoutes(std::vector<int64_t> days) {
    std::sort(days.begin(), days.end(), std::greater<>());
    days.erase(std::unique(days.begin(), days.end()), days.end());
    if (days.size() > size_t(kRouteDaysMost)) days.resize(kRouteDaysMost);
    Run(m_routeJob, [this, days](SqlConnection& db, JobContext& context, std::string* error) {
        ArchiveRoutes routes;
        if (!LoadDayRoutes(db, days, kRoutePointsPerDay, &routes, error)) return false;
        context.Post([this, routes = std::move(routes)] {
            m_routes = routes;
            emit routesLoaded();
        });
        return true;
    });
}

std::optional<RouteMoment> ArchiveViewModel::MomentAt(double latitude, double longitude) const {
    std::optional<RouteMoment> moment = MomentNearest(m_routes, latitude, longitude, kRouteClickM);
    if (moment) moment->path = (std::filesystem::path(m_folder) / moment->path).string();
    return moment;
}
