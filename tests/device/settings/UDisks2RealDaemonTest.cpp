// The card format from end to end against the real UDisks2 daemon: udisksd (and udevd when
// none runs) on a private system bus, a loop device made from a file standing for the card.
// The format must give it a FAT file system; whether the configuration file comes back
// depends on whether this kernel can mount FAT: when it cannot, the copy kept in the data
// folder is what the user is pointed to.
//
// Needs root (loop devices, udisksd); skips with the reason when something cannot start.
// Only the loop device made here is ever formatted: the guard sees a /sys of the test's own
// that calls that one device removable, so every other disk stays out of reach.

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <fstream>

#include "device/CardFormat.h"
#include "device/CardFormatFacts.h"
#include "device/QtUDisks2Formatter.h"
#include "library/CardRoot.h"
#include "tests/device/settings/SettingsTestSupport.h"

namespace fs = std::filesystem;
using settingstest::ReadAll;
using settingstest::WriteAll;

namespace {

using InterfaceMap = QMap<QString, QVariantMap>;
using ObjectMap = QMap<QDBusObjectPath, InterfaceMap>;

const QString kService = QStringLiteral("org.freedesktop.UDisks2");
// mkfs.fat gives cards of this size FAT32, as the camera's cards have (smaller ones FAT16).
constexpr qint64 kCardImageBytes = 600LL << 20;
constexpr int kStartTimeoutMs = 10 * 1000;
const std::string kConfig = "[capacity]\r\nconst=50\r\npark=15\r\nevent=20\r\nmanual=10\r\n";

const char* const kUdisksd[] = {"/usr/libexec/udisks2/udisksd", "/usr/lib/udisks2/udisksd"};
const char* const kUdevd[] = {"/lib/systemd/systemd-udevd", "/usr/lib/systemd/systemd-udevd"};

template <size_t N>
QString FirstExisting(const char* const (&paths)[N]) {
    for (const char* path : paths)
        if (fs::exists(path)) return QString::fromLatin1(path);
    return {};
}

// Runs a program to its end; false when it could not or failed. out: its output, trimmed.
bool RunProgram(const QString& program, const QStringList& args, QString* out = nullptr) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(kStartTimeoutMs) || p.exitStatus() != QProcess::NormalExit ||
        p.exitCode() != 0)
        return false;
    if (out) *out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    return true;
}

QString Output(const QString& program, const QStringList& args) {
    QString out;
    RunProgram(program, args, &out);
    return out;
}

bool KernelHas(const std::string& fileSystem) {
    std::ifstream in("/proc/filesystems");
    std::string line;
    while (std::getline(in, line))
        if (line.size() >= fileSystem.size() &&
            line.compare(line.size() - fileSystem.size(), fileSystem.size(), fileSystem) == 0 &&
            (line.size() == fileSystem.size() ||
             std::isspace(static_cast<unsigned char>(line[line.size() - fileSystem.size() - 1]))))
            return true;
    return false;
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs = kStartTimeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QThread::msleep(100);
    }
    return true;
}

const char kBusConfig[] =
    R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_type="method_call"/>
    <allow send_type="method_return"/>
    <allow send_type="error"/>
    <allow send_type="signal"/>
    <allow receive_type="method_call"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
    <allow receive_type="signal"/>
  </policy>
</busconfig>
)";

class UDisks2RealDaemonTest : public ::testing::Test {
protected:
    void SetUp() override {
        qDBusRegisterMetaType<InterfaceMap>();
        qDBusRegisterMetaType<ObjectMap>();
        if (geteuid() != 0) GTEST_SKIP() << "needs root for loop devices and udisksd";
        const QString udisksd = FirstExisting(kUdisksd);
        if (udisksd.isEmpty()) GTEST_SKIP() << "udisksd is not installed (package udisks2)";
        if (!fs::exists("/dev/loop-control")) GTEST_SKIP() << "no loop devices here";
        initialType = KernelHas("vfat") ? "vfat" : KernelHas("ext4") ? "ext4" : "";
        if (initialType.empty()) GTEST_SKIP() << "the kernel mounts neither vfat nor ext4";
        ASSERT_TRUE(folder.isValid());
        root = folder.path().toStdString();

        StartBus();
        if (address.isEmpty()) GTEST_SKIP() << "dbus-daemon does not start";
        StartUdevd();
        if (!udevRunning) GTEST_SKIP() << "systemd-udevd does not run and cannot be started";
        MakeLoopCard();
        if (loopDevice.isEmpty()) GTEST_SKIP() << "cannot set up a loop device: " << why;

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), address);
        udisks.setProcessEnvironment(env);
        udisks.setProcessChannelMode(QProcess::MergedChannels);
        udisks.setStandardOutputFile(QString::fromStdString(root + "/udisksd.log"));
        udisks.start(udisksd, {});
        bus = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(address, QStringLiteral("real-udisks2 ") + address));
        if (!udisks.waitForStarted() ||
            !WaitUntil([this] { return bus->interface()->isServiceRegistered(kService).value(); }))
            GTEST_SKIP() << "udisksd does not start: " << ReadAll(root + "/udisksd.log");
        if (!WaitUntil([this] { return FindLoopObject(); }))
            GTEST_SKIP() << "udisksd does not show " << loopDevice.toStdString();
        mountPoint = UDisksMount();
        if (mountPoint.empty())
            GTEST_SKIP() << "udisksd cannot mount the " << initialType << " card: " << why;
    }

    void TearDown() override {
        // The card may be mounted where the format left it; the loop device goes either way.
        if (!loopDevice.isEmpty()) {
            RunProgram(QStringLiteral("umount"), {loopDevice});
            RunProgram(QStringLiteral("losetup"), {QStringLiteral("-d"), loopDevice});
        }
        if (bus) QDBusConnection::disconnectFromBus(bus->name());
        for (QProcess* p : {&udisks, &udevd, &daemon}) {
            if (p->state() == QProcess::NotRunning) continue;
            p->terminate();
            if (!p->waitForFinished(3000)) {
                p->kill();
                p->waitForFinished(-1);
            }
        }
    }

    void StartBus() {
        const QString config = folder.filePath(QStringLiteral("bus.conf"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly)) return;
        file.write(
            QString::fromLatin1(kBusConfig).arg(folder.filePath(QStringLiteral("bus"))).toUtf8());
        file.close();
        daemon.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                      QStringLiteral("--print-address=1")});
        if (!daemon.waitForStarted()) return;
        while (address.isEmpty() && daemon.waitForReadyRead(kStartTimeoutMs))
            address = QString::fromUtf8(daemon.readLine()).trimmed();
    }

    static bool UdevPings() {
        return RunProgram(QStringLiteral("udevadm"),
                          {QStringLiteral("control"), QStringLiteral("--ping")});
    }

    // udisksd learns of devices and their file systems from udev's database.
    void StartUdevd() {
        if (UdevPings()) {
            udevRunning = true;
            return;
        }
        const QString program = FirstExisting(kUdevd);
        if (program.isEmpty()) return;
        udevd.setProcessChannelMode(QProcess::MergedChannels);
        udevd.setStandardOutputFile(QProcess::nullDevice());
        udevd.start(program, {});
        udevRunning = udevd.waitForStarted() && WaitUntil(UdevPings);
    }

    void MakeLoopCard() {
        image = QString::fromStdString(root + "/card.img");
        QFile file(image);
        if (!file.open(QIODevice::WriteOnly) || !file.resize(kCardImageBytes)) {
            why = "cannot write the image";
            return;
        }
        file.close();
        const QString mkfs =
            initialType == "vfat" ? QStringLiteral("mkfs.vfat") : QStringLiteral("mkfs.ext4");
        const QStringList args =
            initialType == "vfat" ? QStringList{QStringLiteral("-n"), QStringLiteral("CARD"), image}
                                  : QStringList{QStringLiteral("-q"), QStringLiteral("-L"),
                                                QStringLiteral("CARD"), image};
        if (!RunProgram(mkfs, args)) {
            why = mkfs.toStdString() + " failed";
            return;
        }
        const QString device = Output(QStringLiteral("losetup"),
                                      {QStringLiteral("-f"), QStringLiteral("--show"), image});
        struct stat st {};
        if (device.isEmpty() || stat(device.toLocal8Bit().constData(), &st) != 0 ||
            !S_ISBLK(st.st_mode)) {
            why = "losetup failed";
            return;
        }
        loopDevice = device;
        major = static_cast<int>(::major(st.st_rdev));
        minor = static_cast<int>(::minor(st.st_rdev));
        RunProgram(QStringLiteral("udevadm"),
                   {QStringLiteral("settle"), QStringLiteral("-t"), QStringLiteral("10")});
    }

    QDBusMessage Call(const QString& path, const QString& iface, const QString& method,
                      const QVariantList& args) {
        QDBusMessage msg = QDBusMessage::createMethodCall(kService, path, iface, method);
        msg.setArguments(args);
        return bus->call(msg, QDBus::Block, kStartTimeoutMs);
    }

    bool FindLoopObject() {
        const QDBusMessage reply = Call(QStringLiteral("/org/freedesktop/UDisks2"),
                                        QStringLiteral("org.freedesktop.DBus.ObjectManager"),
                                        QStringLiteral("GetManagedObjects"), {});
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return false;
        ObjectMap objects;
        reply.arguments().first().value<QDBusArgument>() >> objects;
        for (auto it = objects.cbegin(); it != objects.cend(); ++it) {
            const InterfaceMap& ifaces = it.value();
            const auto block = ifaces.constFind(QStringLiteral("org.freedesktop.UDisks2.Block"));
            if (block == ifaces.cend() ||
                block->value(QStringLiteral("DeviceNumber")).toULongLong() !=
                    makedev(major, minor) ||
                !ifaces.contains(QStringLiteral("org.freedesktop.UDisks2.Filesystem")))
                continue;
            loopObject = it.key().path();
            return true;
        }
        return false;
    }

    std::string UDisksMount() {
        const QDBusMessage reply =
            Call(loopObject, QStringLiteral("org.freedesktop.UDisks2.Filesystem"),
                 QStringLiteral("Mount"), {QVariantMap{}});
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            why = reply.errorMessage().toStdString();
            return {};
        }
        return reply.arguments().first().toString().toStdString();
    }

    // A /sys of the test's own in which only the loop device is there, and removable.
    FormatGuardSources Guard() {
        const fs::path sys = fs::path(root) / "sys";
        const fs::path disk =
            sys / "devices/virtual/block" / fs::path(loopDevice.toStdString()).filename();
        WriteAll(disk / "removable", "1\n");
        fs::create_directories(sys / "dev" / "block");
        fs::create_directory_symlink(
            disk, sys / "dev" / "block" / (std::to_string(major) + ":" + std::to_string(minor)));
        FormatGuardSources sources;
        sources.sysRoot = sys.string();
        return sources;
    }

    bool LoopIsMounted() {
        std::ifstream in("/proc/self/mountinfo");
        const std::string number = " " + std::to_string(major) + ":" + std::to_string(minor) + " ";
        std::string line;
        while (std::getline(in, line))
            if (line.find(number) != std::string::npos) return true;
        return false;
    }

    QTemporaryDir folder;
    std::string root, initialType, why, mountPoint;
    QProcess daemon, udevd, udisks;
    QString address, image, loopDevice, loopObject;
    bool udevRunning = false;
    int major = -1, minor = -1;
    std::unique_ptr<QDBusConnection> bus;
};

TEST_F(UDisks2RealDaemonTest, TheLoopCardGetsFatAndItsConfigurationFileBackOrAKeptCopy) {
    WriteAll(fs::path(mountPoint) / "SETTING" / "blackbox.cfg", kConfig);
    WriteAll(fs::path(mountPoint) / "DRIVING" / "REC_20260314_182549_D.AVI",
             std::string(3000, 'x'));
    WriteAll(fs::path(mountPoint) / "EVENT" / "EVT_20260314_182649_D.AVI", std::string(1000, 'x'));

    QtUDisks2Formatter formatter(Guard(), address);
    const CardFormatFacts facts = GatherCardFormatFacts(mountPoint, formatter);
    EXPECT_EQ(facts.volume.device, loopDevice.toStdString());
    EXPECT_EQ(facts.volume.label, "CARD");
    EXPECT_EQ(facts.volume.fileSystem, initialType);
    EXPECT_EQ(facts.volume.sizeBytes, static_cast<std::uint64_t>(kCardImageBytes));
    EXPECT_EQ(facts.recordings, 2);
    EXPECT_EQ(facts.recordingBytes, 4000u);

    const std::string backup = root + "/data/blackbox.cfg";
    fs::create_directories(root + "/data");
    const CardFormatReport report = FormatCardKeepingConfig(mountPoint, backup, formatter);

    const QString type =
        Output(QStringLiteral("blkid"),
               {QStringLiteral("-p"), QStringLiteral("-o"), QStringLiteral("value"),
                QStringLiteral("-s"), QStringLiteral("TYPE"), loopDevice});
    const QString version =
        Output(QStringLiteral("blkid"),
               {QStringLiteral("-p"), QStringLiteral("-o"), QStringLiteral("value"),
                QStringLiteral("-s"), QStringLiteral("VERSION"), loopDevice});
    std::printf(
        "real udisksd: started on %s (kernel %s vfat), after the format: %s %s, "
        "status %d, card %s\n",
        initialType.c_str(), KernelHas("vfat") ? "with" : "without", qPrintable(type),
        qPrintable(version), static_cast<int>(report.status),
        LoopIsMounted() ? "mounted again" : "not mounted");
    EXPECT_EQ(type, "vfat");
    EXPECT_EQ(version, "FAT32");

    if (KernelHas("vfat")) {
        ASSERT_EQ(report.status, CardFormatStatus::Formatted);
        const std::string cardRoot = CardRoot(report.drivePath);
        EXPECT_EQ(ReadAll(CardConfigPath(cardRoot)), kConfig);
        EXPECT_TRUE(fs::is_directory(fs::path(cardRoot) / "PARKING"));
        EXPECT_FALSE(fs::exists(fs::path(cardRoot) / "DRIVING" / "REC_20260314_182549_D.AVI"));
        EXPECT_FALSE(fs::exists(backup)) << "the copy is not needed once the file is back";
    } else {
        EXPECT_EQ(report.status, CardFormatStatus::RestoreFailed);
        EXPECT_EQ(report.keptCopyPath, backup);
        EXPECT_EQ(ReadAll(backup), kConfig) << "the only copy of the card's settings";
        EXPECT_FALSE(LoopIsMounted());
    }
}

}  // namespace
