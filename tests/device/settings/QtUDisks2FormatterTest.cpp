// The desktop formatter: volumes it refuses before any D-Bus call, and its conversation with
// UDisks2, played against a stand-in service on a private bus.

#include <fcntl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QTemporaryDir>
#include <atomic>
#include <fstream>
#include <thread>

#include "device/QtUDisks2Formatter.h"
#include "tests/device/settings/SettingsTestSupport.h"

namespace fs = std::filesystem;
using settingstest::WriteAll;

namespace {

using InterfaceMap = QMap<QString, QVariantMap>;
using ObjectMap = QMap<QDBusObjectPath, InterfaceMap>;

const QString kCardObject = QStringLiteral("/org/freedesktop/UDisks2/block_devices/sdb1");
const QString kRootObject = QStringLiteral("/org/freedesktop/UDisks2/block_devices/sda2");

// UDisks2 as far as the formatter talks to it: one card mounted at /media/me/CARD.
class FakeUDisks2 : public QDBusVirtualObject {
public:
    struct Call {
        QString path, member;
        QVariantList args;
    };
    std::vector<Call> calls;
    qulonglong cardNumber = makedev(8, 17);
    QString formatError;    // D-Bus error name Format answers with, empty for success
    int mountFailures = 0;  // Mount fails this often first (the new file system not seen yet)
    QString newMountPath = QStringLiteral("/media/me/CARD1");
    std::string image;  // what OpenDevice hands over, opened as the mode asks

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& msg, const QDBusConnection& bus) override {
        calls.push_back({msg.path(), msg.member(), msg.arguments()});
        QDBusMessage reply = msg.createReply();
        if (msg.member() == QLatin1String("GetManagedObjects")) {
            reply = msg.createReply(QVariant::fromValue(Objects()));
        } else if (msg.member() == QLatin1String("Format") && !formatError.isEmpty()) {
            reply = msg.createErrorReply(formatError, QStringLiteral("the prompt was dismissed"));
        } else if (msg.member() == QLatin1String("OpenDevice")) {
            const bool readOnly = msg.arguments().value(0).toString() == QLatin1String("r");
            const int fd = open(image.c_str(), (readOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC);
            reply = msg.createReply(QVariant::fromValue(QDBusUnixFileDescriptor(fd)));
            close(fd);
        } else if (msg.member() == QLatin1String("Mount")) {
            reply =
                mountFailures-- > 0
                    ? msg.createErrorReply(QStringLiteral("org.freedesktop.UDisks2.Error.Failed"),
                                           QStringLiteral("not a mountable file system"))
                    : msg.createReply(newMountPath);
        }
        bus.send(reply);
        return true;
    }

private:
    ObjectMap Objects() const {
        auto block = [](qulonglong number, const QString& label, const QByteArray& mountPoint) {
            InterfaceMap ifaces;
            ifaces[QStringLiteral("org.freedesktop.UDisks2.Block")] = {
                {QStringLiteral("DeviceNumber"), number},
                {QStringLiteral("IdLabel"), label},
                {QStringLiteral("IdType"), QStringLiteral("vfat")},
                {QStringLiteral("Size"), qulonglong(15931539456)},
                {QStringLiteral("PreferredDevice"), QByteArray("/dev/sdb1\0", 10)},
                {QStringLiteral("Drive"),
                 QVariant::fromValue(QDBusObjectPath("/org/freedesktop/UDisks2/drives/Stick"))}};
            ifaces[QStringLiteral("org.freedesktop.UDisks2.Filesystem")] = {
                {QStringLiteral("MountPoints"),
                 QVariant::fromValue(QList<QByteArray>{mountPoint + '\0'})}};
            return ifaces;
        };
        ObjectMap objects;
        objects[QDBusObjectPath(kRootObject)] = block(makedev(8, 2), QString(), "/");
        objects[QDBusObjectPath(kCardObject)] =
            block(cardNumber, QStringLiteral("CARD"), "/media/me/CARD");
        objects[QDBusObjectPath(QStringLiteral("/org/freedesktop/UDisks2/drives/Stick"))] = {
            {QStringLiteral("org.freedesktop.UDisks2.Drive"),
             {{QStringLiteral("Removable"), true},
              {QStringLiteral("Vendor"), QStringLiteral("Kingston")},
              {QStringLiteral("Model"), QStringLiteral("DataTraveler 3.0 ")}}}};
        return objects;
    }
};

class UDisks2ConversationTest : public ::testing::Test {
protected:
    void SetUp() override {
        qDBusRegisterMetaType<QList<QByteArray>>();
        qDBusRegisterMetaType<InterfaceMap>();
        qDBusRegisterMetaType<ObjectMap>();

        daemon.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--session"), QStringLiteral("--nofork"),
                      QStringLiteral("--print-address=1")});
        if (!daemon.waitForStarted()) GTEST_SKIP() << "dbus-daemon is not installed";
        while (address.isEmpty() && daemon.waitForReadyRead(-1))
            address = QString::fromUtf8(daemon.readLine()).trimmed();
        ASSERT_FALSE(address.isEmpty());
        serviceBus = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(address, QStringLiteral("fake-udisks2 ") + address));
        ASSERT_TRUE(serviceBus->isConnected());
        ASSERT_TRUE(serviceBus->registerVirtualObject(QStringLiteral("/org/freedesktop/UDisks2"),
                                                      &service, QDBusConnection::SubPath));
        ASSERT_TRUE(serviceBus->registerService(QStringLiteral("org.freedesktop.UDisks2")));

        // A removable stick, sdb, with its first partition mounted at /media/me/CARD.
        const fs::path sys = fs::path(folder.path().toStdString()) / "sys";
        const fs::path disk = sys / "devices/pci0/usb1/block/sdb";
        WriteAll(disk / "removable", "1\n");
        WriteAll(disk / "sdb1" / "partition", "1\n");
        fs::create_directories(sys / "dev" / "block");
        fs::create_directory_symlink(disk / "sdb1", sys / "dev" / "block" / "8:17");
        WriteAll(fs::path(folder.path().toStdString()) / "mountinfo",
                 "1 0 0:31 / / rw - overlay overlay rw\n"
                 "2 1 8:17 / /media/me/CARD rw - vfat /dev/sdb1 rw\n");
        sources.sysRoot = sys.string();
        sources.mountInfoPath = folder.path().toStdString() + "/mountinfo";
        sources.workingDirectory = "/tmp/viewer";
    }
    void TearDown() override {
        if (serviceBus) QDBusConnection::disconnectFromBus(serviceBus->name());
        if (daemon.state() != QProcess::NotRunning) {
            daemon.kill();
            daemon.waitForFinished(-1);
        }
    }
    std::vector<QString> Members() const {
        std::vector<QString> members;
        for (const auto& call : service.calls) members.push_back(call.member);
        return members;
    }

    QTemporaryDir folder;
    QProcess daemon;
    QString address;
    std::unique_ptr<QDBusConnection> serviceBus;
    FakeUDisks2 service;
    FormatGuardSources sources;
};

TEST_F(UDisks2ConversationTest, TheCardIsUnmountedFormattedAsFatKeepingItsLabelAndMountedAgain) {
    service.mountFailures = 2;
    QtUDisks2Formatter formatter(sources, address);
    const CardFormatOutcome outcome = formatter.Format("/media/me/CARD/");
    EXPECT_EQ(outcome.result, CardFormatResult::Formatted) << outcome.detail;
    EXPECT_EQ(outcome.mountPoint, "/media/me/CARD1");
    // Between tries: does UDisks2 see the new file system yet (this one never answers)?
    EXPECT_EQ(Members(), (std::vector<QString>{"GetManagedObjects", "Unmount", "Format", "Mount",
                                               "Get", "Mount", "Get", "Mount"}));
    for (size_t i = 1; i < service.calls.size(); ++i) {
        EXPECT_EQ(service.calls[i].path, kCardObject) << "never the system's block object";
        if (service.calls[i].member == "Get") continue;
        const QVariantMap options = qdbus_cast<QVariantMap>(service.calls[i].args.last());
        ASSERT_TRUE(options.contains("auth.no_user_interaction")) << i;
        EXPECT_FALSE(options["auth.no_user_interaction"].toBool()) << "the desktop may ask";
    }
    const auto& format = service.calls[2];
    ASSERT_EQ(format.args.size(), 2);
    EXPECT_EQ(format.args[0].toString(), "vfat");
    EXPECT_EQ(qdbus_cast<QVariantMap>(format.args[1])["label"].toString(), "CARD");
}

TEST_F(UDisks2ConversationTest, TheCardIsDescribedByItsDriveAndBlockWithoutChangingIt) {
    QtUDisks2Formatter formatter(sources, address);
    const CardVolumeFacts facts = formatter.Describe("/media/me/CARD");
    EXPECT_EQ(facts.vendor, "Kingston");
    EXPECT_EQ(facts.model, "DataTraveler 3.0");
    EXPECT_EQ(facts.device, "/dev/sdb1");
    EXPECT_EQ(facts.label, "CARD");
    EXPECT_EQ(facts.fileSystem, "vfat");
    EXPECT_EQ(facts.sizeBytes, 15931539456u);
    EXPECT_EQ(Members(), (std::vector<QString>{"GetManagedObjects"}));
}

TEST_F(UDisks2ConversationTest, ADismissedPromptFailsAndTheCardIsMountedAgain) {
    service.formatError = QStringLiteral("org.freedesktop.UDisks2.Error.NotAuthorizedDismissed");
    QtUDisks2Formatter formatter(sources, address);
    const CardFormatOutcome outcome = formatter.Format("/media/me/CARD");
    EXPECT_EQ(outcome.result, CardFormatResult::Failed);
    EXPECT_NE(outcome.detail.find("NotAuthorizedDismissed"), std::string::npos);
    EXPECT_EQ(Members(), (std::vector<QString>{"GetManagedObjects", "Unmount", "Format", "Mount"}));
}

TEST_F(UDisks2ConversationTest, AnObjectForAnotherDeviceAtThatPlaceIsNotTouched) {
    service.cardNumber = makedev(8, 33);
    QtUDisks2Formatter formatter(sources, address);
    EXPECT_EQ(formatter.Format("/media/me/CARD").result, CardFormatResult::Failed);
    EXPECT_EQ(Members(), (std::vector<QString>{"GetManagedObjects"}));
}

// The card read for a recovery: opened read-only by UDisks2 (the desktop may ask), from the
// recovery's own thread, and its folders looked through for deleted recordings.
TEST_F(UDisks2ConversationTest, TheCardIsOpenedReadOnlyAndItsDeletedRecordingsCounted) {
    if (!QDBusConnection(*serviceBus)
             .connectionCapabilities()
             .testFlag(QDBusConnection::UnixFileDescriptorPassing))
        GTEST_SKIP() << "the bus passes no descriptors";
    service.image = folder.path().toStdString() + "/card.img";
    const std::string recording = folder.path().toStdString() + "/R.AVI";
    // A recording's header stating its 500 bytes (500 - 8 = 0x1ec), as the camera writes it.
    const std::string head = std::string("RIFF\xec\x01\0\0", 8) + "AVI ";
    std::ofstream(recording, std::ios::binary) << head << std::string(500 - head.size(), '\0');
    ASSERT_EQ(std::system(("mkfs.vfat -F 32 -C " + service.image + " 65536 >/dev/null && " +
                           "mcopy -i " + service.image + " " + recording + " ::/A.AVI && " +
                           "mcopy -i " + service.image + " " + recording + " ::/B.AVI && " +
                           "mdel -i " + service.image + " ::/A.AVI")
                              .c_str()),
              0);
    QtUDisks2Formatter formatter(sources, address);
    int fd = -1;
    std::string error;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        fd = formatter.OpenDeviceReadOnly("/media/me/CARD", &error);
        done = true;
    });
    // The stand-in service answers on this thread.
    while (!done) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    worker.join();
    ASSERT_GE(fd, 0) << error;
    EXPECT_EQ(fcntl(fd, F_GETFL) & O_ACCMODE, O_RDONLY);
    close(fd);
    ASSERT_EQ(Members(), (std::vector<QString>{"GetManagedObjects", "OpenDevice"}));
    const auto& openDevice = service.calls[1];
    EXPECT_EQ(openDevice.path, kCardObject);
    EXPECT_EQ(openDevice.args.value(0).toString(), "r");
    EXPECT_FALSE(
        qdbus_cast<QVariantMap>(openDevice.args.value(1))["auth.no_user_interaction"].toBool());

    EXPECT_EQ(formatter.CountRecoverableDeleted("/media/me/CARD"), 1);
}

TEST(QtUDisks2Formatter, RefusesFoldersAndTheSystemsOwnVolumeBeforeAskingUDisks2) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QtUDisks2Formatter formatter;
    for (const std::string& mountPoint : {folder.path().toStdString(), std::string("/")}) {
        const CardFormatOutcome outcome = formatter.Format(mountPoint);
        EXPECT_EQ(outcome.result, CardFormatResult::Refused) << mountPoint;
        EXPECT_FALSE(outcome.detail.empty()) << mountPoint;
        EXPECT_TRUE(outcome.mountPoint.empty()) << mountPoint;
    }
}

}  // namespace
