#pragma once
// Private profile (INI) files with the semantics the dashcam's configuration file and the
// viewer's "./config.cfg" were written for: bracketed sections, key=value lines, names
// compared without regard to case (ASCII), values trimmed of surrounding blanks and of one
// pair of matching quotes, a value cut to the caller's buffer.
//
// Editing keeps the file as it is outside the line it changes: a key that exists is
// rewritten where it stands (first occurrence, in the first section of that name), a
// missing key is added after the last non-blank line of its section, a missing section is
// added at the end of the file; comments, unknown keys, blank lines and the file's line
// ending (CRLF or LF; CRLF for a new file) are kept byte for byte.
//
// Every write reaches the disk whole: the new content goes to a temporary file in the same
// folder, is flushed to the device and renamed over the old file, so a card pulled or a
// process killed mid-write leaves the old file or the new one, never a mixture. A killed
// write leaves its temporary file (".NAME.tmp-PID-*") beside the target; the next successful
// write to that file removes the temporaries of processes that no longer run.
//
// Threads: the free functions may be called from any thread; writes within one process are
// serialised. A ProfileDocument is a plain value with no lock of its own.

#include <cstdint>
#include <string>
#include <string_view>

// Files larger than this are not read as profiles (treated as unreadable).
constexpr size_t kMaxProfileBytes = 16u << 20;

class ProfileDocument {
public:
    ProfileDocument() = default;
    explicit ProfileDocument(std::string text) : m_text(std::move(text)) {}

    // The value of key in section, trimmed and unquoted; false when there is no such key.
    bool Find(std::string_view section, std::string_view key, std::string& value) const;
    // GetPrivateProfileString over this text: copies the value (or def, trailing blanks
    // removed; "" for a null def) into out, cut to size - 1 characters and zero-terminated,
    // and returns the number of characters copied. Null section or key copies "" (section and
    // key listings are not offered).
    uint32_t GetString(const char* section, const char* key, const char* def, char* out,
                       uint32_t size) const;
    // WritePrivateProfileString over this text: sets key to value; a null value removes the
    // key's line, a null key removes the whole section. False (nothing changed) for a null or
    // blank section, for a name or value holding a line break (it would split the line), and
    // for a section name holding ']' or a key holding '=', which could not be read back.
    bool Set(const char* section, const char* key, const char* value);

    const std::string& Text() const { return m_text; }

private:
    std::string m_text;
};

// Reads a whole profile file. A missing file gives an empty document and true with
// *existed = false; false when the file exists but cannot be read (or exceeds
// kMaxProfileBytes).
bool LoadProfileDocument(const std::string& path, ProfileDocument& doc, bool* existed = nullptr);
// Writes the document's text to path whole (temporary file, flush, rename).
bool SaveProfileDocument(const std::string& path, const ProfileDocument& doc);

// Replaces path's content with bytes through a temporary file in the same folder, flushed
// to the device before the rename; the old file's permissions are kept. A symbolic link is
// written through: its target is replaced (the temporary goes beside the target) and the link
// stays. False, with the target untouched, on any failure.
bool WriteFileWhole(const std::string& path, std::string_view bytes);

// The platform's profile functions. A missing or unreadable file reads as empty, so the
// default is returned.
uint32_t GetPrivateProfileString(const char* section, const char* key, const char* def, char* out,
                                 uint32_t size, const char* path);
// Creates the file when it does not exist. False when the file cannot be read or written.
bool WritePrivateProfileString(const char* section, const char* key, const char* value,
                               const char* path);

// Convenience for callers that want a std::string; bufferSize as in GetPrivateProfileString.
std::string GetProfileString(const std::string& section, const std::string& key,
                             const std::string& def, uint32_t bufferSize, const std::string& path);
