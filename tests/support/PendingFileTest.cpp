// Temporaries over a long session: however each one ends (committed, discarded, dropped, a
// failed set), it gives back its place among the process's live temporaries, so the
// hundredth still or export writes as the first did, and none is left on disk.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>

#include "support/PendingFile.h"

namespace fs = std::filesystem;

namespace {

// More rounds than the process may hold live temporaries at once.
constexpr int kRounds = 40;

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(PendingFileTest, EveryWayATemporaryEndsFreesItsPlace) {
    const fs::path dir = fs::path(TARVEX_TEST_DATA_DIR) / "pending-file";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const struct {
        const char* how;
        bool lands;  // the target appears
        std::function<void(PendingFile&)> end;
    } rows[] = {
        {"committed", true,
         [](PendingFile& f) {
             std::string error;
             EXPECT_TRUE(PendingFile::CommitAll({&f}, &error)) << error;
         }},
        {"discarded", false, [](PendingFile& f) { f.Discard(); }},
        {"dropped", false, [](PendingFile&) {}},
        {"in a set that fails", false,
         [](PendingFile& f) {
             PendingFile never;  // never created: the set cannot be whole
             std::string error;
             EXPECT_FALSE(PendingFile::CommitAll({&f, &never}, &error));
         }},
    };
    std::set<std::string> landed;
    for (const auto& row : rows) {
        for (int i = 0; i < kRounds; ++i) {
            const std::string name = std::string(row.how) + "-" + std::to_string(i) + ".jpg";
            PendingFile file;
            std::string error;
            ASSERT_TRUE(file.Create((dir / name).string(), &error))
                << row.how << " " << i << ": " << error;
            ASSERT_TRUE(file.WriteAll(name, &error)) << error;
            row.end(file);
            if (row.lands) landed.insert(name);
        }
    }
    std::set<std::string> onDisk;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        onDisk.insert(name);
        EXPECT_EQ(Read(entry.path()), name);
    }
    EXPECT_EQ(onDisk, landed) << "no temporary is left, and only committed files landed";
}

}  // namespace
