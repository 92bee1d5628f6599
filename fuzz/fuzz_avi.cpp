// libFuzzer target for the recording reader: the input is a whole file. It is opened with an
// index record, read chunk by chunk to the end, sought to a few seconds, and indexed again.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "media/CAVIExtractor.h"
#include "support/Trace.h"

namespace {

// The reader takes a path; an in-memory file keeps the runs off the disk.
class MemoryFile {
public:
    MemoryFile() : m_fd(memfd_create("fuzz_avi", 0)) {
        m_path = "/proc/self/fd/" + std::to_string(m_fd);
    }
    bool Fill(const uint8_t* data, size_t size) {
        if (m_fd < 0 || ftruncate(m_fd, 0) != 0) return false;
        size_t done = 0;
        while (done < size) {
            const ssize_t n = pwrite(m_fd, data + done, size - done, static_cast<off_t>(done));
            if (n <= 0) return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }
    const char* Path() const { return m_path.c_str(); }

private:
    int m_fd;
    std::string m_path;
};

constexpr int32_t kCapacity = 1 << 20;  // the player's read buffer
constexpr int kMaxChunks = 100000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static MemoryFile file;
    static std::vector<uint8_t> buffer(kCapacity);
    static bool quiet = [] {
        SetTraceSink([](const std::string&) {});
        return true;
    }();
    (void)quiet;
    if (!file.Fill(data, size)) return 0;

    CAVIExtractor reader;
    MediaInfo info;
    if (reader.OpenFile(file.Path(), &info) != 0) {
        int32_t bits = 0, rate = 0;
        reader.GetAudioFormat(&bits, &rate);
        reader.GetVideoSize(nullptr, 0);
        reader.GetFrameRate(1);
        for (int n = 0; n < kMaxChunks; ++n) {
            int32_t capacity = n % 3 == 0 ? 64 : kCapacity;
            if (reader.ReadPacket(buffer.data(), &capacity) == 5 && reader.Tell() >= 0 &&
                reader.Tell() >= static_cast<int64_t>(size)) {
                break;
            }
        }
        for (int32_t second : {0, 1, 2, 59, -1, 1 << 30}) {
            if (reader.SeekToSecond(second) == 0) {
                char id[4];
                int32_t capacity = kCapacity;
                reader.ParseMedia(id, buffer.data(), &capacity);
            }
        }
        char id[4];
        uint32_t chunkSize = 0;
        for (int n = 0; n < kMaxChunks && reader.SkipChunk(id, &chunkSize) >= 0; ++n) {
        }
    }
    reader.BuildIndex(file.Path(), &info);
    return 0;
}
