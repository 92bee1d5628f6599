// libFuzzer target for recovery's readers of a card: the input is a card image. Its boot
// sector is read, every folder walked (deleted entries too), and a recording walked from the
// first clusters along their chain and across the clusters after them, and from the image's
// first byte as a file of its own (as repair walks it). Besides crashes it stops on a broken
// promise: a walk that claims more bytes than the image holds (every cluster is taken once)
// or a whole recording whose length is not the one its header states.

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz/FuzzMemoryFile.h"
#include "recover/CardSource.h"
#include "recover/ClusterStream.h"
#include "recover/FatDirectory.h"
#include "recover/RecordingWalk.h"

namespace {

constexpr uint32_t kClustersTried = 4;

void Require(bool promise) {
    if (!promise) __builtin_trap();
}

void CheckWalk(const RecordingWalk& walk, uint64_t available) {
    if (!walk.recognised) return;
    Require(walk.length <= available);
    Require(walk.moviEnd <= walk.length);
    Require(!walk.whole || walk.length == walk.declaredBytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzMemoryFile file("card");
    if (!file.Fill(data, size)) return 0;
    CardSource source;
    std::string error;
    if (!source.Open(file.Path(), &error)) return 0;
    Fat32Volume volume(source);
    volume.Load(&error);
    for (const FatEntry& e : ReadFatDirectories(volume, 4096)) Require(!e.name.empty());
    for (uint32_t c = Fat32Volume::kFirstCluster; c < Fat32Volume::kFirstCluster + kClustersTried;
         ++c) {
        for (ClusterStream::Follow follow :
             {ClusterStream::Follow::Chain, ClusterStream::Follow::Contiguous}) {
            ClusterStream stream(volume, c, follow);
            CheckWalk(WalkRecording(stream), size);
        }
    }
    const int fd = open(file.Path(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    FileBytes whole(fd);
    CheckWalk(WalkRecording(whole), size);
    close(fd);
    return 0;
}
