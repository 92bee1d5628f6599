#pragma once
// What the Archive view shows, read from the catalogue off the GUI thread: a page of days
// with their trips and bookmarks, the matches of a search, and the routes of some days with
// the way from a place on them back to a recording and a moment.
//
// The catalogue may be a slow server: every read runs on a BackgroundJob that opens its own
// connection, and its result is delivered as a signal on the GUI thread. A new read of a
// kind replaces the one of that kind still running. GUI thread only.

#include <QObject>
#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "app/jobs/BackgroundJob.h"
#include "archive/ArchiveBrowse.h"
#include "archive/ArchiveFind.h"

class ArchiveViewModel : public QObject {
    Q_OBJECT
public:
    static constexpr int kRouteDaysMost = 14;
    // A click on the map farther than this from every route plays nothing.
    static constexpr double kRouteClickM = 300;

    explicit ArchiveViewModel(QObject* parent = nullptr);

    // The catalogue to read (a file or a server) and the archive folder its paths are in.
    void SetArchive(std::string folder, std::string catalogue);
    const std::string& Folder() const { return m_folder; }

    // The days before beforeDay (the newest ones when none): daysLoaded.
    void LoadDays(std::optional<int64_t> beforeDay);
    // Runs a search: found.
    void Find(const FindQuery& query);
    // Reads the routes of these days (the newest kRouteDaysMost of them): routesLoaded.
    void LoadRoutes(std::vector<int64_t> days);
    const ArchiveRoutes& Routes() const { return m_routes; }
    // The recording (its full path) and moment a place on the routes shown belongs to.
    std::optional<RouteMoment> MomentAt(double latitude, double longitude) const;

signals:
    void daysLoaded(const DayPage& page, bool firstPage);
    void found(const std::vector<FindMatch>& matches);
    void routesLoaded();
    void failed(const QString& message);

private:
    // Runs read on job with an open catalogue; a catalogue that cannot be opened reports why.
    template <typename Read>
    void Run(BackgroundJob& job, Read read);

    std::string m_folder, m_catalogue;  // GUI thread only; copied into each job
    BackgroundJob m_listJob;
    BackgroundJob m_routeJob;
    ArchiveRoutes m_routes;  // the routes delivered last
};
