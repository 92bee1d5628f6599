#include "support/Profile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <vector>

#include "support/RegularFile.h"

namespace {

// As many links as the kernel follows before it gives up with ELOOP.
constexpr int kMaxLinkHops = 40;

// The file a write to path lands on: path itself, or the end of its chain of symbolic links
// (a relative link read from the folder it sits in). The rename then replaces the target and
// the link stays a link, so a settings file kept with the user's other dotfiles keeps getting
// the updates. Empty for a loop.
std::string FollowLinks(std::string path) {
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::vector<char> target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n < 0 || static_cast<size_t>(n) >= target.size()) return std::string();
        std::string next(target.data(), static_cast<size_t>(n));
        const size_t slash = path.rfind('/');
        if (!next.empty() && next.front() != '/' && slash != std::string::npos)
            next = path.substr(0, slash + 1) + next;
        path = std::move(next);
    }
    return std::string();
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

// One line of the text: [begin, end) is its content without the line ending, next the
// start of the following line.
struct Line {
    size_t begin = 0;
    size_t end = 0;
    size_t next = 0;
};

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::vector<Line> SplitLines(const std::string& text) {
    std::vector<Line> lines;
    // A byte-order mark written by a text editor is not part of the first line's content.
    size_t pos = std::string_view(text).substr(0, 3) == kUtf8Bom ? 3 : 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        Line line;
        line.begin = pos;
        if (nl == std::string::npos) {
            line.end = line.next = text.size();
        } else {
            line.end = (nl > pos && text[nl - 1] == '\r') ? nl - 1 : nl;
            line.next = nl + 1;
        }
        lines.push_back(line);
        pos = line.next;
    }
    return lines;
}

std::string_view Content(const std::string& text, const Line& line) {
    return std::string_view(text).substr(line.begin, line.end - line.begin);
}

// The section name of a "[name]" line, or false for any other line.
bool SectionName(std::string_view content, std::string_view& name) {
    content = Trim(content);
    if (content.empty() || content[0] != '[') return false;
    size_t close = content.find(']');
    if (close == std::string_view::npos) return false;
    name = Trim(content.substr(1, close - 1));
    return true;
}

// The key of a "key=value" line and where its value starts, or false.
bool KeyOf(std::string_view content, std::string_view& key, std::string_view& value) {
    size_t eq = content.find('=');
    if (eq == std::string_view::npos) return false;
    key = Trim(content.substr(0, eq));
    value = Trim(content.substr(eq + 1));
    return true;
}

// Lines of a section: the header line index and the index one past its last line.
struct SectionSpan {
    size_t header = 0;
    size_t end = 0;
};

bool FindSection(const std::string& text, const std::vector<Line>& lines, std::string_view section,
                 SectionSpan& span) {
    section = Trim(section);
    std::string_view name;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!SectionName(Content(text, lines[i]), name) || !EqualsNoCase(name, section)) continue;
        span.header = i;
        span.end = i + 1;
        while (span.end < lines.size() && !SectionName(Content(text, lines[span.end]), name))
            ++span.end;
        return true;
    }
    return false;
}

bool FindKey(const std::string& text, const std::vector<Line>& lines, const SectionSpan& span,
             std::string_view key, size_t& index) {
    key = Trim(key);
    std::string_view k, v;
    for (size_t i = span.header + 1; i < span.end; ++i) {
        if (KeyOf(Content(text, lines[i]), k, v) && EqualsNoCase(k, key)) {
            index = i;
            return true;
        }
    }
    return false;
}

// The file's own line ending; CRLF (the device's) for a file without one.
std::string LineEnding(const std::string& text) {
    size_t nl = text.find('\n');
    if (nl == std::string::npos) return "\r\n";
    return (nl > 0 && text[nl - 1] == '\r') ? "\r\n" : "\n";
}

bool HasLineBreak(const char* s) {
    return s && std::strpbrk(s, "\r\n") != nullptr;
}

// Removes the temporary files that writers killed mid-write left beside the target: those
// whose process (named in the file name) no longer exists.
void RemoveStaleTemporaries(int dirfd, const std::string& prefix) {
    int fd = ::dup(dirfd);
    if (fd < 0) return;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return;
    }
    const pid_t self = ::getpid();
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strncmp(name, prefix.c_str(), prefix.size()) != 0) continue;
        char* end = nullptr;
        long pid = std::strtol(name + prefix.size(), &end, 10);
        if (end == name + prefix.size() || *end != '-' || pid <= 0 || pid == self) continue;
        if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
            ::unlinkat(::dirfd(dir), name, 0);
    }
    ::closedir(dir);
}

std::mutex g_writeMutex;  // serialises read-modify-write of profile files in this process

}  // namespace

bool ProfileDocument::Find(std::string_view section, std::string_view key,
                           std::string& value) const {
    std::vector<Line> lines = SplitLines(m_text);
    SectionSpan span;
    size_t index = 0;
    if (!FindSection(m_text, lines, section, span) || !FindKey(m_text, lines, span, key, index))
        return false;
    std::string_view k, v;
    KeyOf(Content(m_text, lines[index]), k, v);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    value.assign(v);
    return true;
}

uint32_t ProfileDocument::GetString(const char* section, const char* key, const char* def,
                                    char* out, uint32_t size) const {
    if (!out || size == 0) return 0;
    std::string value;
    if (!section || !key) {
        value.clear();
    } else if (!Find(section, key, value)) {
        std::string_view d = def ? std::string_view(def) : std::string_view();
        while (!d.empty() && IsBlank(d.back())) d.remove_suffix(1);
        value.assign(d);
    }
    size_t n = std::min<size_t>(value.size(), size - 1);
    std::memcpy(out, value.data(), n);
    out[n] = '\0';
    return static_cast<uint32_t>(n);
}

bool ProfileDocument::Set(const char* section, const char* key, const char* value) {
    if (!section || HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) return false;
    if (std::strchr(section, ']') || Trim(section).empty()) return false;
    if (key && (std::strchr(key, '=') || Trim(key).empty())) return false;

    std::vector<Line> lines = SplitLines(m_text);
    const std::string eol = LineEnding(m_text);
    SectionSpan span;
    const bool haveSection = FindSection(m_text, lines, section, span);

    if (!key) {  // remove the whole section
        if (!haveSection) return true;
        size_t from = lines[span.header].begin;
        size_t to = span.end < lines.size() ? lines[span.end].begin : m_text.size();
        m_text.erase(from, to - from);
        return true;
    }
    const std::string keyLine = std::string(Trim(key)) + "=" + (value ? value : "");

    size_t index = 0;
    if (haveSection && FindKey(m_text, lines, span, key, index)) {
        const Line& line = lines[index];
        if (!value) {
            m_text.erase(line.begin, line.next - line.begin);
            return true;
        }
        // Rewritten where it stands, with the name as the file spells it.
        std::string_view k, v;
        KeyOf(Content(m_text, line), k, v);
        std::string replacement = std::string(k) + "=" + value;
        m_text.replace(line.begin, line.end - line.begin, replacement);
        return true;
    }
    if (!value) return true;  // nothing to remove

    if (haveSection) {
        size_t last = span.header;
        for (size_t i = span.header + 1; i < span.end; ++i)
            if (!Trim(Content(m_text, lines[i])).empty()) last = i;
        const Line& after = lines[last];
        if (after.next == after.end) {  // last line of the file, no line ending yet
            m_text.insert(after.end, eol + keyLine + eol);
        } else {
            m_text.insert(after.next, keyLine + eol);
        }
        return true;
    }
    if (!m_text.empty() && m_text.back() != '\n' && m_text != kUtf8Bom) m_text += eol;
    m_text += "[" + std::string(Trim(section)) + "]" + eol + keyLine + eol;
    return true;
}

bool LoadProfileDocument(const std::string& path, ProfileDocument& doc, bool* existed) {
    if (existed) *existed = false;
    FILE* f = OpenRegularFileStream(path);
    if (!f) {
        doc = ProfileDocument();
        return errno == ENOENT;
    }
    if (existed) *existed = true;
    std::string text;
    char buffer[16384];
    bool ok = true;
    for (;;) {
        size_t n = std::fread(buffer, 1, sizeof buffer, f);
        text.append(buffer, n);
        if (text.size() > kMaxProfileBytes) {
            ok = false;
            break;
        }
        if (n < sizeof buffer) {
            ok = !std::ferror(f);
            break;
        }
    }
    std::fclose(f);
    if (!ok) return false;
    doc = ProfileDocument(std::move(text));
    return true;
}

bool SaveProfileDocument(const std::string& path, const ProfileDocument& doc) {
    return WriteFileWhole(path, doc.Text());
}

bool WriteFileWhole(const std::string& named, std::string_view bytes) {
    const std::string path = FollowLinks(named);
    if (path.empty()) return false;
    size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    if (base.empty()) return false;

    static std::atomic<unsigned> counter{0};
    std::random_device seed;
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        char suffix[64];
        snprintf(suffix, sizeof suffix, ".tmp-%d-%u-%08x", static_cast<int>(getpid()),
                 counter.fetch_add(1), static_cast<unsigned>(seed()));
        temp = (slash == std::string::npos ? std::string() : folder) + "." + base + suffix;
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;

    bool ok = true;
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) (void)::fchmod(fd, st.st_mode & 07777);
    size_t done = 0;
    while (ok && done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            ok = false;
        else
            done += static_cast<size_t>(n);
    }
    if (ok && ::fsync(fd) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) ok = false;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // The rename itself must reach the device too.
    int dirfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirfd >= 0) {
        RemoveStaleTemporaries(dirfd, "." + base + ".tmp-");
        (void)::fsync(dirfd);
        ::close(dirfd);
    }
    return true;
}

uint32_t GetPrivateProfileString(const char* section, const char* key, const char* def, char* out,
                                 uint32_t size, const char* path) {
    ProfileDocument doc;
    if (!path || !LoadProfileDocument(path, doc)) doc = ProfileDocument();
    return doc.GetString(section, key, def, out, size);
}

bool WritePrivateProfileString(const char* section, const char* key, const char* value,
                               const char* path) {
    if (!path) return false;
    std::lock_guard<std::mutex> lock(g_writeMutex);
    ProfileDocument doc;
    bool existed = false;
    if (!LoadProfileDocument(path, doc, &existed)) return false;
    const std::string before = doc.Text();
    if (!doc.Set(section, key, value)) return false;
    if (doc.Text() == before) return true;  // nothing to change (or to create)
    return SaveProfileDocument(path, doc);
}

std::string GetProfileString(const std::string& section, const std::string& key,
                             const std::string& def, uint32_t bufferSize, const std::string& path) {
    if (bufferSize == 0) return std::string();
    std::vector<char> buffer(bufferSize);
    uint32_t n = GetPrivateProfileString(section.c_str(), key.c_str(), def.c_str(), buffer.data(),
                                         bufferSize, path.c_str());
    return std::string(buffer.data(), n);
}
