#include "media/ExportTargets.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

constexpr size_t kRiffHeaderBytes = 12;
constexpr size_t kDateDigits = 8;
constexpr size_t kTimeDigits = 6;

struct FileId {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileId&) const = default;
};

bool IdOf(const std::string& path, FileId* id) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return false;
    *id = {st.st_dev, st.st_ino};
    return true;
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool EndsWithNoCase(std::string_view text, std::string_view end) {
    if (text.size() < end.size()) return false;
    for (size_t i = 0; i < end.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(text[text.size() - end.size() + i])) !=
            std::toupper(static_cast<unsigned char>(end[i])))
            return false;
    return true;
}

bool AllDigits(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

bool AllLetters(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (!std::isalpha(static_cast<unsigned char>(c))) return false;
    return true;
}

// CATEGORY_YYYYMMDD_HHMMSS_FLAG.AVI or .MP4, as the dashcam names what it records.
bool HasDashcamName(std::string_view name) {
    if (!EndsWithNoCase(name, ".AVI") && !EndsWithNoCase(name, ".MP4")) return false;
    name.remove_suffix(4);
    std::string_view fields[4];
    for (int i = 0; i < 4; ++i) {
        const size_t cut = i < 3 ? name.find('_') : name.size();
        if (cut == std::string_view::npos) return false;
        fields[i] = name.substr(0, cut);
        name.remove_prefix(i < 3 ? cut + 1 : cut);
    }
    return AllLetters(fields[0]) && fields[1].size() == kDateDigits && AllDigits(fields[1]) &&
           fields[2].size() == kTimeDigits && AllDigits(fields[2]) && fields[3].size() == 1 &&
           AllLetters(fields[3]);
}

bool HasAviContent(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char head[kRiffHeaderBytes];
    const bool whole = std::fread(head, 1, sizeof head, f) == sizeof head;
    std::fclose(f);
    return whole && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "AVI ", 4) == 0;
}

bool Refuse(std::string* error, const std::string& message) {
    if (error) *error = message;
    return false;
}

// Two outputs are one file when they exist as one, or would be created under one name in one
// folder.
bool SamePlace(const std::string& a, const std::string& b) {
    FileId ia, ib;
    if (IdOf(a, &ia) && IdOf(b, &ib)) return ia == ib;
    if (NameOf(a) != NameOf(b)) return false;
    FileId fa, fb;
    if (IdOf(FolderOf(a), &fa) && IdOf(FolderOf(b), &fb)) return fa == fb;
    return a == b;
}

bool CheckOne(const std::string& output, const std::vector<std::string>& inputs,
              std::string* error) {
    if (output.empty()) return Refuse(error, "no output file given");
    const std::string name = NameOf(output);
    struct stat st;
    const bool exists = ::stat(output.c_str(), &st) == 0;
    if (name.empty() || name == "." || name == ".." || (exists && S_ISDIR(st.st_mode)))
        return Refuse(error, output + " is a folder, not a file to write");
    if (exists) {
        const FileId id{st.st_dev, st.st_ino};
        for (const std::string& input : inputs) {
            FileId in;
            if (!IdOf(input, &in) || !(in == id)) continue;
            return Refuse(error, input == output
                                     ? output + " is one of the recordings the clip is made from"
                                     : output + " is the same file as " + input +
                                           ", one of the recordings the clip is made from");
        }
    }
    if (IsRecordingTarget(output))
        return Refuse(error, exists ? output + " is a recording; an export never writes over one"
                                    : output + " has a recording's name; give the clip another");
    return true;
}

}  // namespace

bool HasRecordingName(const std::string& path) {
    const std::string name = NameOf(path);
    return EndsWithNoCase(name, ".AVI") || HasDashcamName(name);
}

bool IsRecordingTarget(const std::string& path) {
    if (HasRecordingName(path)) return true;
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && HasAviContent(path);
}

bool CheckExportTargets(const std::vector<std::string>& inputs,
                        const std::vector<std::string>& outputs, std::string* error) {
    if (outputs.empty()) return Refuse(error, "no output file given");
    for (size_t i = 0; i < outputs.size(); ++i) {
        if (!CheckOne(outputs[i], inputs, error)) return false;
        for (size_t j = 0; j < i; ++j)
            if (SamePlace(outputs[i], outputs[j]))
                return Refuse(error, outputs[i] == outputs[j]
                                         ? outputs[i] + " is given for two outputs"
                                         : outputs[j] + " and " + outputs[i] +
                                               " are one file; it cannot take two outputs");
    }
    return true;
}
