#include "evidence/PdfCheck.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <vector>

namespace {

constexpr const char* kHeader = "%PDF-";
// The trailer's last lines ("startxref", the offset, "%%EOF") lie in the file's last
// kilobyte; a writer may add a line end or two after them.
constexpr std::streamoff kTailBytes = 1024;
constexpr std::streamoff kXrefProbeBytes = 64;

bool Refuse(std::string* error, const std::string& message) {
    *error = message;
    return false;
}

std::string ReadAt(std::ifstream& in, std::streamoff at, std::streamoff bytes) {
    std::string text(static_cast<size_t>(bytes), '\0');
    in.clear();
    in.seekg(at);
    in.read(text.data(), bytes);
    text.resize(static_cast<size_t>(std::max<std::streamsize>(0, in.gcount())));
    return text;
}

// "xref" (a table) or "N G obj" (a cross-reference stream) at the start of text.
bool StartsCrossReference(const std::string& text) {
    if (text.rfind("xref", 0) == 0) return true;
    size_t i = 0;
    for (int number = 0; number < 2; ++number) {
        const size_t digits = i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
        if (i == digits || i >= text.size() || text[i] != ' ') return false;
        ++i;
    }
    return text.compare(i, 3, "obj") == 0;
}

}  // namespace

bool PdfIsWhole(const std::string& path, const std::string& name, std::string* error) {
    const std::string broken = name + " is not a whole PDF";
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return Refuse(error, "cannot read " + name);
    const std::streamoff size = in.tellg();
    if (ReadAt(in, 0, 5) != kHeader) return Refuse(error, broken + " (no PDF header)");
    const std::streamoff tailAt = std::max<std::streamoff>(0, size - kTailBytes);
    const std::string tail = ReadAt(in, tailAt, size - tailAt);
    const size_t eof = tail.rfind("%%EOF");
    const size_t startxref = tail.rfind("startxref", eof);
    if (eof == std::string::npos || startxref == std::string::npos ||
        tail.find_first_not_of("\r\n \t", eof + 5) != std::string::npos)
        return Refuse(error, broken + " (it ends before its trailer)");
    char* end = nullptr;
    const char* number = tail.c_str() + startxref + 9;
    const long long offset = std::strtoll(number, &end, 10);
    if (end == number || offset <= 0 || offset >= size)
        return Refuse(error, broken + " (its trailer points outside the file)");
    if (!StartsCrossReference(ReadAt(in, offset, kXrefProbeBytes)))
        return Refuse(error, broken + " (its trailer points at no cross-reference)");
    return true;
}
