#include "archive/ArchiveImport.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "archive/ArchiveLayout.h"
#include "evidence/Sha256.h"
#include "library/CardRoot.h"
#include "library/RecordingCatalogue.h"
#include "support/PendingFile.h"
#include "support/RegularFile.h"
#include "telemetry/CameraClock.h"

namespace fs = std::filesystem;

namespace {

// A name taken by this many other recordings is a card that keeps writing the same name.
constexpr int kMaxNameSuffix = 99;
// How often a recording another import holds is looked at again.
constexpr auto kClaimRecheck = std::chrono::milliseconds(500);
constexpr size_t kSettingsHashChars = 16;

std::string HostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return "localhost";
    return name;
}

std::string CardLabel(const std::string& card) {
    std::error_code ec;
    const fs::path canonical = fs::weakly_canonical(fs::path(card), ec);
    const std::string label = (ec ? fs::path(card) : canonical).filename().string();
    return label.empty() ? card : label;
}

std::string ReadSmallFile(const std::string& path, bool* ok) {
    FILE* f = OpenRegularFileStream(path);
    *ok = f != nullptr;
    std::string text;
    if (!f) return text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    *ok = !std::ferror(f);
    std::fclose(f);
    return text;
}

}  // namespace

ArchiveImport::ArchiveImport(ArchiveCatalogue& catalogue, std::string archiveFolder,
                             std::string card)
    : m_catalogue(catalogue),
      m_folder(std::move(archiveFolder)),
      m_card(std::move(card)),
      m_label(CardLabel(m_card)),
      m_host(HostName()),
      m_owner(m_host + ":" + std::to_string(::getpid())) {}

bool ArchiveImport::ListCard(std::vector<Source>* sources, std::string* error) const {
    const bool isCard = ForEachCardRecording(
        m_card,
        [sources](const fs::directory_entry& e, const char* category) {
            sources->push_back({e.path().string(), e.path().filename().string(), category});
        },
        error);
    if (!isCard) return false;
    // Oldest first, so that trips grow at their end and an interrupted import has archived
    // the oldest recordings, the ones the camera overwrites next.
    std::sort(sources->begin(), sources->end(), [](const Source& a, const Source& b) {
        const auto sa = RecordingStartSec(a.name).value_or(0);
        const auto sb = RecordingStartSec(b.name).value_or(0);
        return sa != sb ? sa < sb : a.name < b.name;
    });
    return true;
}

bool ArchiveImport::IsStale(const CatalogueEntry& e) const {
    if (NowUtcSeconds() - e.claimedUtc > kStaleClaimS) return true;
    const size_t colon = e.claimOwner.rfind(':');
    if (colon == std::string::npos || e.claimOwner.substr(0, colon) != m_host) return false;
    const pid_t pid = static_cast<pid_t>(std::atoll(e.claimOwner.c_str() + colon + 1));
    return pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH;
}

bool ArchiveImport::SameContent(const Source& s, const CatalogueEntry& e, std::string* error) {
    if (m_sourceSha.empty() && !Sha256OfFile(s.file, &m_sourceSha, error)) return false;
    return m_sourceSha == e.sha256;
}

ArchiveImport::Outcome ArchiveImport::ImportOne(const Source& s, ImportReport* report) {
    m_sourceSha.clear();
    std::string error;
    for (int suffix = 1, attempts = 0; suffix <= kMaxNameSuffix && attempts < 4 * kMaxNameSuffix;
         ++attempts) {
        ArchivedRecording r;
        r.name = s.name;
        r.card = m_label;
        r.category = s.category;
        r.path = ArchivePathOf(s.name, suffix);
        const std::optional<CatalogueEntry> e = m_catalogue.Lookup(r.path, &error);
        if (!error.empty()) break;
        if (!e) {
            // Another import may claim the path between the look and the claim: look again.
            if (const std::optional<int64_t> id = m_catalogue.Claim(r, m_owner, &error))
                return CopyClaimed(s, r, *id, report);
            if (!error.empty()) break;
        } else if (e->ready) {
            if (SameContent(s, *e, &error)) {
                std::error_code ec;
                if (fs::exists(fs::path(m_folder) / e->path, ec)) return Outcome::Skipped;
                return Restore(s, *e, report);
            }
            if (!error.empty()) break;
            ++suffix;
        } else if (!IsStale(*e)) {
            return Outcome::Deferred;
        } else if (m_catalogue.TakeOver(*e, m_owner, &error)) {
            return CopyClaimed(s, r, e->id, report);
        } else if (!error.empty()) {
            break;
        }
    }
    if (error.empty()) error = "every name up to _" + std::to_string(kMaxNameSuffix) + " is taken";
    report->failures.push_back({s.file, error});
    return Outcome::Failed;
}

// Copies source to temp (hashed on the way, flushed), then reads the copy back: true only
// when both hashes agree. A failed copy leaves no temp behind.
static bool CopyVerified(const std::string& source, const std::string& temp, CopiedFile* copied,
                         std::string* error) {
    ::unlink(temp.c_str());  // a dead import's leftover of this very claim
    std::string readBack;
    if (!CopyAndHash(source, temp, nullptr, nullptr, copied, error)) return false;
    if (!Sha256OfFile(temp, &readBack, error))
        *error = "cannot read the copy back: " + *error;
    else if (readBack != copied->sha256)
        *error = "the copy read back differs from what was written";
    else
        return true;
    ::unlink(temp.c_str());
    return false;
}

ArchiveImport::Outcome ArchiveImport::CopyClaimed(const Source& s, ArchivedRecording& r,
                                                  int64_t claimId, ImportReport* report) {
    const fs::path final = fs::path(m_folder) / r.path;
    const std::string temp = (final.parent_path() / ("." + final.filename().string() + "." +
                                                     std::to_string(claimId) + ".part"))
                                 .string();
    std::error_code ec;
    fs::create_directories(final.parent_path(), ec);
    if (m_progress) m_progress("copying " + s.category + "/" + s.name);
    std::string error;
    CopiedFile copied;
    if (ec) {
        error = "cannot create " + final.parent_path().string() + ": " + ec.message();
    } else if (CopyVerified(s.file, temp, &copied, &error)) {
        if (!m_sourceSha.empty() && m_sourceSha != copied.sha256)
            error = "the recording changed on the card while it was imported";
        else if (r.sha256 = copied.sha256, r.size = copied.stamp.size;
                 Place(claimId, r, temp, &error))
            return report->totals.bytes += r.size, Outcome::Copied;
        ::unlink(temp.c_str());
    }
    // Only a claim still ours is given up; a row whose file is already in place stays claimed
    // for the next import to finish.
    if (!fs::exists(final)) m_catalogue.Release(claimId, m_owner);
    report->failures.push_back({s.file, error});
    return Outcome::Failed;
}

// A catalogued recording whose file has gone from the archive (removed by hand) is put back
// from the card when the card still holds the same bytes.
ArchiveImport::Outcome ArchiveImport::Restore(const Source& s, const CatalogueEntry& e,
                                              ImportReport* report) {
    const fs::path final = fs::path(m_folder) / e.path;
    const std::string temp = (final.parent_path() / ("." + final.filename().string() + ".pid" +
                                                     std::to_string(::getpid()) + ".part"))
                                 .string();
    std::error_code ec;
    fs::create_directories(final.parent_path(), ec);
    if (m_progress) m_progress("copying " + s.category + "/" + s.name);
    std::string error;
    CopiedFile copied;
    if (CopyVerified(s.file, temp, &copied, &error)) {
        if (copied.sha256 == e.sha256 && ::rename(temp.c_str(), final.c_str()) == 0 &&
            SyncFolder(final.parent_path().string()))
            return report->totals.bytes += copied.stamp.size, Outcome::Copied;
        error = "cannot put " + e.path + " back";
        ::unlink(temp.c_str());
    }
    report->failures.push_back({s.file, error});
    return Outcome::Failed;
}

bool ArchiveImport::Place(int64_t claimId, ArchivedRecording& r, const std::string& temp,
                          std::string* error) {
    // A copy the reader does not accept is archived all the same, with what its name says.
    ReadRecordingFacts(temp, r);
    const fs::path final = fs::path(m_folder) / r.path;
    if (::rename(temp.c_str(), final.c_str()) != 0 || !SyncFolder(final.parent_path().string())) {
        *error = "cannot place " + final.string() + ": " + std::strerror(errno);
        return false;
    }
    return m_catalogue.Complete(claimId, m_owner, m_importId, r, error);
}

std::string ArchiveImport::ArchiveSettings() {
    std::string configSha;
    std::error_code ec;
    const fs::path settings = fs::path(CardRoot(m_card) + kSettingFolder);
    for (const fs::directory_entry& e : fs::directory_iterator(settings, ec)) {
        std::error_code typeEc;
        if (!e.is_regular_file(typeEc)) continue;
        bool ok = false;
        const std::string text = ReadSmallFile(e.path().string(), &ok);
        if (!ok) continue;
        const std::string sha = Sha256OfBytes(text);
        const std::string name = e.path().filename().string();
        if (name == "blackbox.cfg") configSha = sha;
        const fs::path target =
            fs::path(m_folder) / kSettingsFolder / (sha.substr(0, kSettingsHashChars) + "_" + name);
        if (fs::exists(target, typeEc)) continue;
        fs::create_directories(target.parent_path(), typeEc);
        PendingFile out;
        std::string error;
        if (out.Create(target.string(), &error) && out.WriteAll(text, &error))
            PendingFile::CommitAll({&out}, &error);
    }
    return configSha;
}

void ArchiveImport::ImportAll(const std::vector<Source>& sources, const ImportProgress& progress,
                              ImportReport* report) {
    std::vector<Source> pending = sources;
    size_t done = 0;
    while (!pending.empty()) {
        std::vector<Source> deferred;
        for (const Source& s : pending) {
            if (m_cancel && m_cancel->load()) {
                report->cancelled = true;
                return;
            }
            const Outcome outcome = ImportOne(s, report);
            if (outcome == Outcome::Deferred) {
                deferred.push_back(s);
                continue;
            }
            ++done;
            if (outcome == Outcome::Copied) ++report->totals.copied;
            if (outcome == Outcome::Skipped) ++report->totals.skipped;
            if (outcome == Outcome::Failed) ++report->totals.failed;
            static const char* const kWords[] = {"copied", "skipped", "", "failed"};
            if (progress)
                progress(std::to_string(done) + "/" + std::to_string(sources.size()) + " " +
                         kWords[static_cast<int>(outcome)] + " " + s.category + "/" + s.name);
        }
        // A recording another import holds is looked at again after a pause: by then that
        // import has archived it, or has died and left it to this one. Only the catalogue
        // can tell, and it tells nobody; so it is asked again.
        if (!deferred.empty()) std::this_thread::sleep_for(kClaimRecheck);
        pending = std::move(deferred);
    }
}

bool ArchiveImport::Run(const ImportProgress& progress, ImportReport* report, std::string* error) {
    const auto started = std::chrono::steady_clock::now();
    std::vector<Source> sources;
    if (!ListCard(&sources, error)) return false;
    std::error_code ec;
    fs::create_directories(m_folder, ec);
    if (ec || ::access(m_folder.c_str(), W_OK) != 0) {
        *error = "archive " + m_folder +
                 " cannot be written: " + (ec ? ec.message() : std::string(std::strerror(errno)));
        return false;
    }
    const std::optional<int64_t> importId = m_catalogue.BeginImport(m_label, m_host, error);
    if (!importId) return false;
    m_importId = *importId;
    m_progress = progress;
    const std::string configSha = ArchiveSettings();
    ImportAll(sources, progress, report);
    report->seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::string ignored;
    m_catalogue.FinishImport(m_importId, report->totals, configSha, &ignored);
    return true;
}
