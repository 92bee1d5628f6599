// verify against someone who changes a package and rewrites SHA256SUMS to match: every change
// is named by the manifest or the packet comparison; nothing outside the package is read and
// nothing that is not a regular file is opened; what `sha256sum -c` accepts is accepted; and a
// signed package's signature is one OpenSSL accepts as it stands.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "tests/ToolRun.h"
#include "tools/cardgen/CardGenerator.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kRecording = "REC_20180820_184830_D.AVI";
// A verify that waited on a FIFO or a device would be stopped here and fail its row.
constexpr const char* kNoWait = "timeout 5";

class PackageVerifyTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        fs::remove_all(Root());
        fs::create_directories(Root() / "card" / "DRIVING");
        RecordingOptions o;
        o.durationSec = 6;
        o.frontWidth = 320, o.frontHeight = 180, o.rearWidth = 160, o.rearHeight = 90;
        o.year = 2018, o.month = 8, o.day = 20, o.hour = 18, o.minute = 48, o.second = 30;
        std::string error;
        ASSERT_TRUE(WriteRecording(Recording(), o, &error)) << error;
        const ToolOutput run = Package(Pristine(), "");
        ASSERT_EQ(run.status, 0) << run.out;
    }
    static fs::path Root() { return fs::path(TARVEX_TEST_DATA_DIR) / "package_verify"; }
    static std::string Recording() { return (Root() / "card/DRIVING" / kRecording).string(); }
    static fs::path Pristine() { return Root() / "pristine"; }
    static ToolOutput Package(const fs::path& out, const std::string& options) {
        return RunToolCommand("package '" + Recording() + "' --from 2 --to 4 '" + out.string() +
                              "' " + options + " 2>&1");
    }
    static ToolOutput Verify(const fs::path& dir, const std::string& options = "") {
        return RunToolCommand("verify '" + dir.string() + "' " + options + " 2>&1", kNoWait);
    }
    // A copy of the pristine package to change.
    static fs::path Copy(const std::string& name) {
        const fs::path dir = Root() / name;
        fs::remove_all(dir);
        fs::copy(Pristine(), dir, fs::copy_options::recursive);
        return dir;
    }
    // SHA256SUMS made again over every regular file, as whoever changed the package would.
    static void RewriteSums(const fs::path& dir) {
        Shell("cd '" + dir.string() +
              "' && find . -type f ! -name SHA256SUMS ! -name SHA256SUMS.p7s | sed 's|^\\./||' | "
              "sort | xargs -d '\\n' sha256sum > SHA256SUMS");
    }
    static std::string Shell(const std::string& command) {
        std::string text;
        FILE* pipe = popen((command + " 2>&1").c_str(), "r");
        if (!pipe) return text;
        char buffer[512];
        while (fgets(buffer, sizeof buffer, pipe)) text += buffer;
        return pclose(pipe) == 0 ? text : "failed: " + text;
    }
    static void FlipByte(const fs::path& file, std::streamoff at) {
        std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
        f.seekg(at);
        const char byte = static_cast<char>(f.get() ^ 1);
        f.seekp(at);
        f.put(byte);
    }
};

TEST_F(PackageVerifyTest, EveryChangeIsNamedThoughSha256SumsWasRewritten) {
    const std::string original = std::string("originals/") + kRecording;
    const struct {
        const char* name;
        std::function<void(const fs::path&)> change;
        const char* named;  // a line verify must print
    } rows[] = {
        {"original's byte", [&](const fs::path& d) { FlipByte(d / original, 60000); },
         "changed: originals/REC_20180820_184830_D.AVI"},
        {"original's last byte",
         [&](const fs::path& d) { FlipByte(d / original, fs::file_size(d / original) - 1); },
         "changed: originals/REC_20180820_184830_D.AVI"},
        {"manifest invalid",
         [](const fs::path& d) { std::ofstream(d / "manifest.json", std::ios::app) << "}"; },
         "changed: manifest.json (not valid JSON"},
        {"manifest of junk",
         [](const fs::path& d) {
             std::ofstream(d / "manifest.json") << std::string(13 << 20, 'x');
         },
         "refused: manifest.json (larger than"},
        {"manifest gone", [](const fs::path& d) { fs::remove(d / "manifest.json"); },
         "missing: manifest.json"},
        {"track gone", [](const fs::path& d) { fs::remove(d / "track.gpx"); },
         "missing: track.gpx"},
        {"composed clip gone", [](const fs::path& d) { fs::remove(d / "clip_composed.mp4"); },
         "missing: clip_composed.mp4"},
        {"still gone", [](const fs::path& d) { fs::remove(d / "20180820_184833.000_rear.jpg"); },
         "missing: 20180820_184833.000_rear.jpg"},
        {"rear track removed",
         [](const fs::path& d) {
             Shell("cd '" + d.string() +
                   "' && ffmpeg -v error -i clip.mp4 -map 0:v:0 -map 0:a -c copy c.mp4 && "
                   "mv c.mp4 clip.mp4");
         },
         "changed: clip.mp4 (its video tracks hold 60 front packets where manifest.json says "
         "60 front 60 rear"},
        {"clip of one second",
         [](const fs::path& d) {
             Shell("cd '" + d.string() +
                   "' && ffmpeg -v error -i clip.mp4 -map 0 -c copy -t 1 c.mp4 && "
                   "mv c.mp4 clip.mp4");
         },
         "changed: clip.mp4 (its video tracks hold 30 front 30 rear"},
    };
    for (const auto& row : rows) {
        const fs::path dir = Copy("changed");
        row.change(dir);
        RewriteSums(dir);
        ASSERT_EQ(Shell("cd '" + dir.string() + "' && sha256sum --quiet -c SHA256SUMS"), "")
            << row.name;
        const ToolOutput run = Verify(dir);
        EXPECT_EQ(run.status, 1) << row.name << "\n" << run.out;
        EXPECT_NE(run.out.find(row.named), std::string::npos) << row.name << "\n" << run.out;
    }
}

// Each row adds one thing; verify must name it by its own name, refuse it unopened and end.
TEST_F(PackageVerifyTest, NothingOutsideThePackageIsReadNorAnyFileButARegularOne) {
    const std::string passwdHash = Shell("sha256sum /etc/passwd").substr(0, 64);
    const struct {
        const char* name;
        std::function<void(const fs::path&)> add;
        bool listed;  // SHA256SUMS then names what was added
        const char* named;
    } rows[] = {
        {"climbing path",
         [&](const fs::path& d) {
             std::ofstream(d / "SHA256SUMS", std::ios::app)
                 << passwdHash << "  ../../../../../../../../etc/passwd\n";
         },
         false, "refused: ../../../../../../../../etc/passwd"},
        {"absolute path",
         [&](const fs::path& d) {
             std::ofstream(d / "SHA256SUMS", std::ios::app) << passwdHash << "  /etc/passwd\n";
         },
         false, "refused: /etc/passwd"},
        {"link to a file", [](const fs::path& d) { fs::create_symlink("/etc/passwd", d / "pw"); },
         true, "refused: pw (a symbolic link)"},
        {"link to a folder",
         [](const fs::path& d) { fs::create_directory_symlink("/etc", d / "e"); }, false,
         "added: e (a symbolic link)"},
        {"empty folder", [](const fs::path& d) { fs::create_directory(d / "more"); }, false,
         "added: more/ (a folder)"},
        {"FIFO", [](const fs::path& d) { mkfifo((d / "pipe").c_str(), 0600); }, false,
         "added: pipe (a FIFO)"},
        {"listed FIFO", [](const fs::path& d) { mkfifo((d / "pipe").c_str(), 0600); }, true,
         "refused: pipe (a FIFO)"},
        {"link in originals",
         [](const fs::path& d) { fs::create_symlink("/etc/passwd", d / "originals" / "x.cfg"); },
         false, "added: originals/x.cfg (a symbolic link)"},
    };
    for (const auto& row : rows) {
        const fs::path dir = Copy("outside");
        row.add(dir);
        if (row.listed)
            for (const char* name : {"pw", "pipe"})
                if (fs::is_symlink(dir / name) || fs::exists(fs::symlink_status(dir / name)))
                    std::ofstream(dir / "SHA256SUMS", std::ios::app)
                        << passwdHash << "  " << name << "\n";
        const ToolOutput run = Verify(dir);
        EXPECT_EQ(run.status, 1) << row.name << "\n" << run.out;
        EXPECT_NE(run.out.find(row.named), std::string::npos) << row.name << "\n" << run.out;
        EXPECT_EQ(run.out.find("root:"), std::string::npos) << row.name;
    }
}

// Upper-case hex and CRLF line ends, which `sha256sum -c` accepts, verify; the success line
// gives the fingerprint (the SHA-256 of SHA256SUMS as it stands) and says what an unsigned
// package cannot prove.
TEST_F(PackageVerifyTest, WhatSha256sumAcceptsVerifiesAndSaysWhatItProves) {
    const fs::path dir = Copy("forms");
    Shell("cd '" + dir.string() +
          "' && awk '{ print toupper(substr($0, 1, 64)) substr($0, 65) \"\\r\" }' SHA256SUMS > S "
          "&& mv S SHA256SUMS");
    ASSERT_EQ(Shell("cd '" + dir.string() + "' && sha256sum --quiet -c SHA256SUMS"), "");
    const ToolOutput run = Verify(dir);
    EXPECT_EQ(run.status, 0) << run.out;
    const std::string fingerprint = Shell("sha256sum '" + (dir / "SHA256SUMS").string() + "'");
    EXPECT_NE(run.out.find("fingerprint: " + fingerprint.substr(0, 64)), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("unsigned: "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("not who made it"), std::string::npos) << run.out;
}

TEST_F(PackageVerifyTest, ASignedPackageChecksWithOpenSslAndNamesItsSigner) {
    const fs::path keys = Root() / "keys";
    fs::create_directories(keys);
    for (const char* who : {"signer", "other"})
        ASSERT_EQ(Shell("cd '" + keys.string() + "' && openssl req -x509 -newkey rsa:2048 -nodes " +
                        "-keyout " + who + "_key.pem -out " + who + "_cert.pem -days 2 " +
                        "-subj /CN=" + who)
                      .rfind("failed", 0),
                  std::string::npos);
    const std::string key = (keys / "signer_key.pem").string();
    const std::string cert = (keys / "signer_cert.pem").string();

    // A key that is not the certificate's, or none: refused before anything is written.
    const fs::path refused = Root() / "refused";
    for (const std::string& wrong :
         {(keys / "other_key.pem").string(), (keys / "no.pem").string()}) {
        fs::remove_all(refused);
        const ToolOutput run = Package(refused, "--sign '" + wrong + "' --cert '" + cert + "'");
        EXPECT_EQ(run.status, 1) << run.out;
        EXPECT_FALSE(fs::exists(refused)) << wrong;
    }

    const fs::path dir = Root() / "signed";
    fs::remove_all(dir);
    const ToolOutput made = Package(dir, "--lang ko --sign '" + key + "' --cert '" + cert + "'");
    ASSERT_EQ(made.status, 0) << made.out;
    EXPECT_NE(made.out.find("\"signed\": true"), std::string::npos) << made.out;
    EXPECT_EQ(Shell("cd '" + dir.string() +
                    "' && openssl cms -verify -binary -content SHA256SUMS -inform DER -in "
                    "SHA256SUMS.p7s -CAfile '" +
                    cert + "' -out /dev/null"),
              "CMS Verification successful\n");
    const ToolOutput checked = Verify(dir, "--ca '" + cert + "'");
    EXPECT_EQ(checked.status, 0) << checked.out;
    EXPECT_NE(checked.out.find("signed by CN=signer at "), std::string::npos) << checked.out;
    EXPECT_NE(checked.out.find("leads to the CA given"), std::string::npos) << checked.out;
    EXPECT_EQ(Verify(dir, "--ca '" + (keys / "other_cert.pem").string() + "'").status, 1);

    // The guide in the report's language, then in English, says how to check it.
    std::ifstream readme(dir / "README.txt");
    const std::string guide((std::istreambuf_iterator<char>(readme)), {});
    for (const char* says : {"증거 패키지", "Evidence package", "clip_composed.mp4",
                             "sha256sum -c SHA256SUMS", "openssl cms -verify"})
        EXPECT_NE(guide.find(says), std::string::npos) << says;

    // A changed SHA256SUMS no longer carries the signature.
    std::ofstream(dir / "SHA256SUMS", std::ios::app) << "\n";
    const ToolOutput changed = Verify(dir);
    EXPECT_EQ(changed.status, 1) << changed.out;
    EXPECT_NE(changed.out.find("changed: SHA256SUMS.p7s"), std::string::npos) << changed.out;
}

}  // namespace
