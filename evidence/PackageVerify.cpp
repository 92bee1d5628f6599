#include "evidence/PackageVerify.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "evidence/PackageNames.h"
#include "evidence/Sha256.h"
#include "media/ExportTargets.h"
#include "support/JsonReader.h"

namespace fs = std::filesystem;

namespace {

// SHA256SUMS, the manifest and the signature of a package of any size stay far below this;
// a larger one is not read into memory.
constexpr off_t kMaxRecordBytes = 4 << 20;

using Kind = VerifyProblem::Kind;

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Descriptor(Descriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    int Get() const { return m_fd; }

private:
    int m_fd;
};

enum class Entry { Regular, Missing, Refused };

// What a file of any other type is, in words.
const char* TypeWords(mode_t mode) {
    if (S_ISLNK(mode)) return "a symbolic link";
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

// Why a listed name cannot lie inside the package by its spelling alone; empty when it can.
std::string NameProblem(const std::string& rel, std::vector<std::string>* parts) {
    if (rel.empty()) return "an empty name";
    if (rel[0] == '/') return "an absolute path, outside the package";
    size_t start = 0;
    for (;;) {
        const size_t slash = rel.find('/', start);
        const std::string part = rel.substr(start, slash - start);
        if (part == "..") return "a path that climbs out of the package";
        if (part.empty() || part == ".") return "not a plain name inside the package";
        parts->push_back(part);
        if (slash == std::string::npos) return {};
        start = slash + 1;
    }
}

// Opens rel inside folder for reading without following a link at any step and without
// opening anything but a regular file (a FIFO or a device is refused from its type alone).
Entry OpenInside(const fs::path& folder, const std::string& rel, Descriptor* fd, std::string* why) {
    std::vector<std::string> parts;
    *why = NameProblem(rel, &parts);
    if (!why->empty()) return Entry::Refused;
    Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() < 0) return *why = std::strerror(errno), Entry::Refused;
    for (size_t i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        struct stat st;
        if (::fstatat(dir.Get(), parts[i].c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return errno == ENOENT ? Entry::Missing : (*why = std::strerror(errno), Entry::Refused);
        if (!last && !S_ISDIR(st.st_mode))
            return *why = std::string("a path through ") + TypeWords(st.st_mode), Entry::Refused;
        if (last && !S_ISREG(st.st_mode)) return *why = TypeWords(st.st_mode), Entry::Refused;
        const int flags = O_RDONLY | O_NOFOLLOW | O_CLOEXEC | (last ? O_NONBLOCK : O_DIRECTORY);
        Descriptor next(::openat(dir.Get(), parts[i].c_str(), flags));
        struct stat opened;
        if (next.Get() < 0 || ::fstat(next.Get(), &opened) != 0 || opened.st_ino != st.st_ino ||
            opened.st_dev != st.st_dev)
            return *why = "it changed while it was opened", Entry::Refused;
        dir = std::move(next);
    }
    *fd = std::move(dir);
    return Entry::Regular;
}

// A record of the package (SHA256SUMS, the manifest, the signature), read whole.
Entry ReadRecord(const fs::path& folder, const std::string& rel, std::string* bytes,
                 std::string* why) {
    Descriptor fd;
    const Entry e = OpenInside(folder, rel, &fd, why);
    if (e != Entry::Regular) return e;
    struct stat st;
    if (::fstat(fd.Get(), &st) != 0 || st.st_size > kMaxRecordBytes)
        return *why = "larger than such a file can be", Entry::Refused;
    bytes->assign(static_cast<size_t>(st.st_size), '\0');
    size_t done = 0;
    while (done < bytes->size()) {
        const ssize_t n = ::read(fd.Get(), bytes->data() + done, bytes->size() - done);
        if (n <= 0) return *why = "cannot be read", Entry::Refused;
        done += static_cast<size_t>(n);
    }
    return Entry::Regular;
}

std::string Lower(std::string hex) {
    for (char& c : hex) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return hex;
}

void Add(VerifyReport* report, Kind kind, const std::string& file, const std::string& detail = {}) {
    report->problems.push_back({kind, file, detail});
}

// SHA256SUMS as `sha256sum -c` reads it: name to lower-case hash.
std::map<std::string, std::string> ParseSums(const std::string& text, VerifyReport* report) {
    std::map<std::string, std::string> listed;
    size_t start = 0, number = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        std::string hex, rel;
        if (!ParseSha256SumsLine(line, &hex, &rel))
            Add(report, Kind::Changed, kPackageSums,
                "line " + std::to_string(number) + " is not a checksum line");
        else if (!listed.emplace(rel, Lower(hex)).second)
            Add(report, Kind::ListedDifferently, rel, "SHA256SUMS lists it twice");
    }
    return listed;
}

struct ManifestFile {
    uint64_t size = 0;
    std::string sha256;
};

struct Manifest {
    bool read = false;  // false: unreadable, already reported
    std::map<std::string, ManifestFile> files;
    std::map<int, int64_t> packets;  // camera to the clip's packets of it
    bool shareCopy = false;          // the blurred copy: no originals and no clip.mp4 to prove
};

bool ReadManifestFiles(const JsonValue& root, Manifest* m) {
    const JsonValue* files = root.Find("files");
    if (!files || !files->IsArray()) return false;
    for (const JsonValue& f : files->items) {
        const JsonValue* path = f.Find("path");
        const JsonValue* size = f.Find("size");
        const JsonValue* sha = f.Find("sha256");
        if (!path || !path->IsString() || !size || !size->IsInteger() || size->integer < 0 ||
            !sha || !sha->IsString())
            return false;
        m->files[path->text] = {static_cast<uint64_t>(size->integer), Lower(sha->text)};
    }
    const JsonValue* share = root.Find("share_copy");
    m->shareCopy = share && share->type == JsonValue::Type::Bool && share->boolean;
    const JsonValue* verified = root.Find("verified");
    const JsonValue* tracks = verified ? verified->Find("tracks") : nullptr;
    if (!tracks || !tracks->IsArray()) return false;
    for (const JsonValue& t : tracks->items) {
        const JsonValue* camera = t.Find("camera");
        const JsonValue* packets = t.Find("packets");
        if (!camera || !camera->IsString() || !packets || !packets->IsInteger()) return false;
        m->packets[camera->text == "rear" ? 1 : 0] = packets->integer;
    }
    return true;
}

Manifest ReadManifest(const fs::path& folder, VerifyReport* report) {
    Manifest m;
    std::string text, why;
    const Entry e = ReadRecord(folder, kPackageManifest, &text, &why);
    if (e == Entry::Missing) {
        Add(report, Kind::Missing, kPackageManifest);
        return m;
    }
    if (e == Entry::Refused) {
        Add(report, Kind::Refused, kPackageManifest, why);
        return m;
    }
    JsonValue root;
    if (!ParseJson(text, &root, &why)) {
        Add(report, Kind::Changed, kPackageManifest, "not valid JSON: " + why);
        return m;
    }
    m.read = ReadManifestFiles(root, &m);
    if (!m.read) Add(report, Kind::Changed, kPackageManifest, "its list of files is damaged");
    return m;
}

// One listed file against both records.
void CheckFile(const fs::path& folder, const std::string& rel, const std::string* sums,
               const ManifestFile* manifest, bool manifestRead, VerifyReport* report) {
    const bool isManifest = rel == kPackageManifest;
    if (!sums) Add(report, Kind::ListedDifferently, rel, "in manifest.json, not in SHA256SUMS");
    if (sums && !manifest && manifestRead && !isManifest)
        Add(report, Kind::ListedDifferently, rel, "in SHA256SUMS, not in manifest.json");
    if (sums && manifest && *sums != manifest->sha256)
        Add(report, Kind::ListedDifferently, rel,
            "SHA256SUMS and manifest.json give different hashes");
    Descriptor fd;
    std::string why, hex;
    const Entry e = OpenInside(folder, rel, &fd, &why);
    if (e == Entry::Missing) return Add(report, Kind::Missing, rel);
    if (e == Entry::Refused) return Add(report, Kind::Refused, rel, why);
    uint64_t size = 0;
    if (!Sha256OfDescriptor(fd.Get(), rel, &hex, &size, &why))
        return Add(report, Kind::Refused, rel, why);
    ++report->filesChecked;
    if (sums && hex != *sums)
        Add(report, Kind::Changed, rel, "its SHA-256 is not the one in SHA256SUMS");
    else if (manifest && (hex != manifest->sha256 || size != manifest->size))
        Add(report, Kind::Changed, rel, "it is not the file manifest.json describes");
}

// Whatever the folder holds that neither record lists, by its own name: links are not
// followed, folders not listed are named with a trailing slash.
void FindAdded(const fs::path& folder, const std::set<std::string>& listed, VerifyReport* report) {
    std::set<std::string> folders;
    for (const std::string& rel : listed)
        for (size_t slash = rel.find('/'); slash != std::string::npos;
             slash = rel.find('/', slash + 1))
            folders.insert(rel.substr(0, slash));
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        // By its own name: a link is never resolved.
        const std::string rel = it->path().lexically_relative(folder).string();
        if (rel == kPackageSums || rel == kPackageSignature || rel == kPackageManifest ||
            listed.count(rel))
            continue;
        struct stat st;
        if (::lstat(it->path().c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode) && folders.count(rel)) continue;
        if (S_ISREG(st.st_mode))
            Add(report, Kind::Added, rel);
        else
            Add(report, Kind::Added, S_ISDIR(st.st_mode) ? rel + "/" : rel, TypeWords(st.st_mode));
    }
    if (ec) Add(report, Kind::Refused, folder.string(), "cannot be listed: " + ec.message());
}

// The packet comparison of the lossless clip against the copied originals, and its packets
// against the manifest's.
void ProveAgainstManifest(const fs::path& folder, const std::set<std::string>& readable,
                          const Manifest& m, VerifyReport* report) {
    // A share copy names no lossless clip; its files are held to their hashes alone.
    if (m.read && m.shareCopy && !m.files.count(kPackageLosslessClip) && m.packets.empty()) {
        report->shareCopy = true;
        return;
    }
    if (!readable.count(kPackageLosslessClip)) {
        report->proofError = "clip.mp4 cannot be compared";
        return;
    }
    std::vector<std::string> originals;
    const std::string prefix = std::string(kPackageOriginals) + "/";
    for (const std::string& rel : readable)
        if (rel.rfind(prefix, 0) == 0 && HasRecordingName(rel))
            originals.push_back((folder / rel).string());
    if (!ProveClip((folder / kPackageLosslessClip).string(), originals, &report->proof,
                   &report->proofError) &&
        report->proofError.empty())
        report->proofError = "cannot read the clip";
    if (!m.read || !report->proofError.empty()) return;
    std::map<int, int64_t> found;
    for (const TrackProof& t : report->proof) found[t.camera] = t.packets;
    if (found == m.packets) return;
    std::string detail = "its video tracks hold";
    for (const auto& [camera, packets] : found)
        detail += " " + std::to_string(packets) + (camera == 0 ? " front" : " rear");
    detail += " packets where manifest.json says";
    for (const auto& [camera, packets] : m.packets)
        detail += " " + std::to_string(packets) + (camera == 0 ? " front" : " rear");
    Add(report, Kind::Changed, kPackageLosslessClip, detail);
}

void CheckPackageSignature(const fs::path& folder, const std::string& sums,
                           const std::string& caPath, VerifyReport* report) {
    std::string signature, why;
    const Entry e = ReadRecord(folder, kPackageSignature, &signature, &why);
    if (e == Entry::Refused) return Add(report, Kind::Refused, kPackageSignature, why);
    if (e == Entry::Missing) {
        if (!caPath.empty())
            Add(report, Kind::Missing, kPackageSignature,
                "a CA was given, but the package is not signed");
        return;
    }
    report->isSigned = true;
    report->signature = CheckSignature(sums, signature, caPath);
    if (!report->signature.valid)
        Add(report, Kind::Changed, kPackageSignature, report->signature.problem);
}

}  // namespace

const char* VerifyProblemWord(VerifyProblem::Kind kind) {
    switch (kind) {
        case Kind::Missing:
            return "missing";
        case Kind::Changed:
            return "changed";
        case Kind::Added:
            return "added";
        case Kind::ListedDifferently:
            return "listed differently";
        case Kind::Refused:
            return "refused";
    }
    return "changed";
}

bool VerifyReport::Holds() const {
    if (!problems.empty() || !proofError.empty() || (proof.empty() && !shareCopy)) return false;
    if (isSigned && !signature.valid) return false;
    return std::all_of(proof.begin(), proof.end(), [](const TrackProof& t) { return t.Holds(); });
}

bool VerifyPackage(const std::string& dir, const std::string& caPath, VerifyReport* report,
                   std::string* error) {
    *report = VerifyReport();
    if (!caPath.empty() && !std::ifstream(caPath)) {
        *error = "cannot read the CA certificate " + caPath;
        return false;
    }
    const fs::path folder(dir);
    std::string sums, why;
    const Entry e = ReadRecord(folder, kPackageSums, &sums, &why);
    if (e != Entry::Regular) {
        *error = dir + " is not an evidence package (" +
                 (e == Entry::Missing ? "no SHA256SUMS" : "SHA256SUMS is " + why) + ")";
        return false;
    }
    report->fingerprint = Sha256OfBytes(sums);
    const std::map<std::string, std::string> listed = ParseSums(sums, report);
    const Manifest manifest = ReadManifest(folder, report);
    std::set<std::string> names;
    for (const auto& [rel, hex] : listed) names.insert(rel);
    for (const auto& [rel, file] : manifest.files) names.insert(rel);
    for (const std::string& rel : names) {
        const auto s = listed.find(rel);
        const auto m = manifest.files.find(rel);
        CheckFile(folder, rel, s == listed.end() ? nullptr : &s->second,
                  m == manifest.files.end() ? nullptr : &m->second, manifest.read, report);
    }
    if (!listed.count(kPackageManifest))
        Add(report, Kind::ListedDifferently, kPackageManifest, "SHA256SUMS does not list it");
    FindAdded(folder, names, report);
    std::set<std::string> readable = names;
    for (const VerifyProblem& p : report->problems)
        if (p.kind == Kind::Missing || p.kind == Kind::Refused) readable.erase(p.file);
    ProveAgainstManifest(folder, readable, manifest, report);
    CheckPackageSignature(folder, sums, caPath, report);
    return true;
}
