#pragma once
// What the archive's tests share: a private PostgreSQL server started in a temporary folder
// on a Unix socket (by an unprivileged user when the tests run as root), a fresh database on
// it per case, and generated cards.

#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "archive/SqlConnection.h"
#include "tools/cardgen/CardGenerator.h"

namespace archive_test {

namespace fs = std::filesystem;

inline const std::string kData = std::string(TARVEX_TEST_DATA_DIR) + "/archive";

// The newest server programs Debian's postgresql package installed; empty without one.
inline std::string PostgresBin() {
    std::string best;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/usr/lib/postgresql", ec))
        if (fs::exists(e.path() / "bin/initdb") && e.path().string() > best)
            best = e.path().string();
    return best.empty() ? best : best + "/bin";
}

class PostgresServer {
public:
    ~PostgresServer() { Stop(); }

    // Starts the server once; false with the reason when it cannot start here.
    bool Start(std::string* why) {
        const std::string bin = PostgresBin();
        if (bin.empty()) return *why = "no PostgreSQL server programs installed", false;
        m_prefix = geteuid() == 0 ? "runuser -u postgres -- " : "";
        SweepOrphans(bin);
        char pattern[] = "/tmp/tarvex-pg-XXXXXX";
        if (!mkdtemp(pattern)) return *why = "no temporary folder", false;
        m_dir = pattern;
        std::ofstream(m_dir + "/owner") << getpid();
        fs::create_directories(m_dir + "/sock");
        fs::permissions(m_dir,
                        fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
        // The server refuses to run as root: it runs as the postgres user, which must own
        // the folder; the socket folder stays reachable for the tests' own user.
        if (geteuid() == 0) {
            const passwd* pg = getpwnam("postgres");
            if (!pg) return *why = "running as root and there is no postgres user", false;
            for (const std::string& p : {m_dir, m_dir + "/sock"})
                if (chown(p.c_str(), pg->pw_uid, pg->pw_gid) != 0) return *why = "chown", false;
        }
        if (!Shell(bin + "/initdb -D " + m_dir + "/data -A trust -U postgres --no-sync"))
            return *why = "initdb failed", false;
        if (!Shell(bin + "/pg_ctl -D " + m_dir + "/data -w -l " + m_dir + "/log -o \"-k " + m_dir +
                   "/sock -c listen_addresses='' -c fsync=off\" start"))
            return *why = "pg_ctl start failed (see " + m_dir + "/log)", false;
        m_bin = bin;
        return true;
    }

    void Stop() {
        if (!m_bin.empty()) Shell(m_bin + "/pg_ctl -D " + m_dir + "/data -m immediate -w stop");
        m_bin.clear();
        if (!m_dir.empty()) fs::remove_all(m_dir);
        m_dir.clear();
    }

    std::string Uri(const std::string& database) const {
        return "postgresql://postgres@/" + database + "?host=" + m_dir + "/sock";
    }

    // A new empty database; its URI.
    std::string FreshDatabase(const std::string& name) {
        std::string error;
        auto admin = OpenSqlConnection(Uri("postgres"), &error);
        EXPECT_TRUE(admin) << error;
        if (!admin) return {};
        admin->RunScript("DROP DATABASE IF EXISTS " + name, &error);
        EXPECT_TRUE(admin->RunScript("CREATE DATABASE " + name, &error)) << error;
        return Uri(name);
    }

private:
    // A test program killed before its exit (a time limit, a closed pipe) leaves its server
    // running; the next one stops it. Servers of programs still running are left alone.
    void SweepOrphans(const std::string& bin) const {
        std::error_code ec;
        for (const auto& e : fs::directory_iterator("/tmp", ec)) {
            const std::string dir = e.path().string();
            if (e.path().filename().string().rfind("tarvex-pg-", 0) != 0) continue;
            pid_t owner = 0;
            std::ifstream(dir + "/owner") >> owner;
            // Without an owner yet, the folder is another program's, being set up.
            if (owner > 0 && kill(owner, 0) != 0 && errno == ESRCH) {
                Shell(bin + "/pg_ctl -D " + dir + "/data -m immediate -w stop");
                fs::remove_all(dir, ec);
            }
        }
    }

    bool Shell(const std::string& command) const {
        return std::system((m_prefix + command + " >/dev/null 2>&1").c_str()) == 0;
    }

    std::string m_dir, m_bin, m_prefix;
};

// One server for the whole test program, started on first use.
inline PostgresServer* SharedPostgres(std::string* why) {
    static PostgresServer server;
    static std::string reason;
    static const bool started = server.Start(&reason);
    *why = reason;
    return started ? &server : nullptr;
}

// A small generated card (kept in the test data folder and reused): three driving
// recordings that make one trip, one each of event, parking and user.
inline std::string GeneratedCard(const std::string& name = "card") {
    const std::string dir = kData + "/" + name;
    if (fs::exists(dir + "/SETTING/blackbox.cfg")) return dir;
    const std::string temp = dir + "." + std::to_string(getpid()) + ".part";
    CardOptions o;
    o.durationSec = 8;
    o.frontWidth = 320;
    o.frontHeight = 180;
    std::string error;
    if (!WriteCard(temp, o, &error)) {
        ADD_FAILURE() << error;
        return {};
    }
    std::error_code ec;
    fs::rename(temp, dir, ec);  // another test program may have been quicker
    if (ec) fs::remove_all(temp, ec);
    return dir;
}

}  // namespace archive_test
