// The window as an MPRIS player on a private session bus: its properties, every method with
// the effect of the window's own button, PropertiesChanged and Seeked, OpenUri of a recording,
// and playerctl driving it as a desktop would.
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <cmath>
#include <functional>
#include <memory>

#include "app/desktop/MprisService.h"
#include "tests/app/MainWindowFixture.h"
#include "tools/cardgen/CardGenerator.h"

using namespace apptest;

namespace {

const QString kPath = QString::fromLatin1(MprisService::kObjectPath);
const QString kPlayer = QString::fromLatin1(MprisService::kPlayerInterface);
const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");
constexpr qlonglong kUs = 1000000;
constexpr int kTripPartSec = 20;

// A card whose DRIVING folder holds one drive cut into two back-to-back 20 s recordings.
const std::vector<std::string>& TripRecordings() {
    static const std::vector<std::string> paths = [] {
        const std::filesystem::path card =
            std::filesystem::path(TARVEX_TEST_DATA_DIR) / "mpris_trip_card";
        std::filesystem::create_directories(card / "DRIVING");
        std::vector<std::string> made;
        for (int i = 0; i < 2; ++i) {
            RecordingOptions o;
            o.durationSec = kTripPartSec;
            o.frontWidth = o.rearWidth = 160;
            o.frontHeight = o.rearHeight = 96;
            o.calmDrive = true;
            o.hour = 9;
            o.minute = 0;
            o.second = i * kTripPartSec;
            o.seed = static_cast<uint32_t>(i + 7);
            const std::filesystem::path path =
                card / "DRIVING" /
                RecordingFileName("REC", {2026, 5, 2, 9, 0, i * kTripPartSec}, true);
            std::string error;
            if (!std::filesystem::exists(path) && !WriteRecording(path.string(), o, &error))
                ADD_FAILURE() << error;
            made.push_back(path.string());
        }
        return made;
    }();
    return paths;
}

// Records the signals the service sends, as a desktop client would see them.
class SignalLog : public QObject {
    Q_OBJECT
public:
    QList<QVariantMap> changes;  // PropertiesChanged of the player interface
    QList<qlonglong> seeks;      // Seeked positions, microseconds

    bool Changed(const QString& property, const QVariant& value) const {
        for (const QVariantMap& change : changes) {
            if (change.contains(property) && change.value(property) == value) return true;
        }
        return false;
    }

public slots:
    void OnPropertiesChanged(const QString& interface, const QVariantMap& changed,
                             const QStringList&) {
        if (interface == kPlayer) changes.push_back(changed);
    }
    void OnSeeked(qlonglong position) { seeks.push_back(position); }
};

class MprisFixture : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        // A bus of our own, so the test neither needs nor disturbs a desktop session.
        daemon.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--session"), QStringLiteral("--nofork"),
                      QStringLiteral("--print-address")});
        ASSERT_TRUE(daemon.waitForStarted()) << "dbus-daemon is part of the build's packages";
        ASSERT_TRUE(daemon.waitForReadyRead(10000));
        address = QString::fromLatin1(daemon.readLine()).trimmed();
        const QString tag = QString::fromStdString(workDir.filename().string());
        serviceBus = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(address, QStringLiteral("service-") + tag));
        clientBus = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(address, QStringLiteral("client-") + tag));
        ASSERT_TRUE(serviceBus->isConnected() && clientBus->isConnected());
        mpris = std::make_unique<MprisService>(Window());
        ASSERT_TRUE(mpris->Register(*serviceBus));
        clientBus->connect(QString(), kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                           QStringLiteral("PropertiesChanged"), &log,
                           SLOT(OnPropertiesChanged(QString, QVariantMap, QStringList)));
        clientBus->connect(QString(), kPath, kPlayer, QStringLiteral("Seeked"), &log,
                           SLOT(OnSeeked(qlonglong)));
    }

    void TearDown() override {
        mpris.reset();
        const QString service = serviceBus ? serviceBus->name() : QString();
        const QString client = clientBus ? clientBus->name() : QString();
        serviceBus.reset();
        clientBus.reset();
        QDBusConnection::disconnectFromBus(service);
        QDBusConnection::disconnectFromBus(client);
        daemon.kill();
        daemon.waitForFinished();
        MainWindowFixture::TearDown();
    }

    // A method call from the client, answered while the window's event loop runs.
    QDBusMessage Call(const QString& interface, const QString& method,
                      const QVariantList& args = {}) {
        QDBusMessage call =
            QDBusMessage::createMethodCall(mpris->BusName(), kPath, interface, method);
        call.setArguments(args);
        return clientBus->call(call, QDBus::BlockWithGui);
    }
    // Calls a method as a desktop would; what it opens is waited for.
    bool Invoke(const QString& method, const QVariantList& args = {}) {
        const bool replied = Call(kPlayer, method, args).type() == QDBusMessage::ReplyMessage;
        WaitOpened(Window());
        return replied;
    }
    QVariant Get(const QString& interface, const QString& name) {
        const QDBusMessage reply = Call(QStringLiteral("org.freedesktop.DBus.Properties"),
                                        QStringLiteral("Get"), {interface, name});
        if (reply.type() != QDBusMessage::ReplyMessage) return {};
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }
    bool Set(const QString& name, const QVariant& value) {
        return Call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
                    {kPlayer, name, QVariant::fromValue(QDBusVariant(value))})
                   .type() == QDBusMessage::ReplyMessage;
    }
    QString Status() { return Get(kPlayer, QStringLiteral("PlaybackStatus")).toString(); }
    QVariantMap Metadata() {
        return qdbus_cast<QVariantMap>(
            Get(kPlayer, QStringLiteral("Metadata")).value<QDBusArgument>());
    }
    QString Title() { return Metadata().value(QStringLiteral("xesam:title")).toString(); }
    QString TrackId() {
        return Metadata().value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path();
    }
    qlonglong PositionUs() { return Get(kPlayer, QStringLiteral("Position")).toLongLong(); }
    static QString Name(const std::string& path) {
        return QFileInfo(QString::fromStdString(path)).fileName();
    }

    QProcess daemon;
    QString address;
    std::unique_ptr<QDBusConnection> serviceBus;
    std::unique_ptr<QDBusConnection> clientBus;
    std::unique_ptr<MprisService> mpris;
    SignalLog log;
};

}  // namespace

TEST_F(MprisFixture, PublishesTheMediaPlayerWithItsFixedProperties) {
    EXPECT_EQ(mpris->BusName(), MprisService::kServiceName);
    EXPECT_TRUE(clientBus->interface()->isServiceRegistered(MprisService::kServiceName));
    EXPECT_EQ(Get(kRoot, "Identity").toString(), "Tarvex K310VZN PC Viewer");
    EXPECT_EQ(Get(kRoot, "DesktopEntry").toString(), "org.tarvex.Viewer");
    EXPECT_TRUE(Get(kRoot, "CanQuit").toBool());
    EXPECT_TRUE(Get(kRoot, "CanRaise").toBool());
    EXPECT_FALSE(Get(kRoot, "HasTrackList").toBool());
    EXPECT_EQ(Get(kRoot, "SupportedUriSchemes").toStringList(), QStringList{"file"});
    EXPECT_TRUE(Get(kRoot, "SupportedMimeTypes").toStringList().contains("video/x-msvideo"));
    EXPECT_EQ(Get(kPlayer, "Rate").toDouble(), 1.0);
    EXPECT_EQ(Get(kPlayer, "MinimumRate").toDouble(), 0.25);
    EXPECT_EQ(Get(kPlayer, "MaximumRate").toDouble(), 4.0);
    EXPECT_TRUE(Get(kPlayer, "CanControl").toBool());
    EXPECT_EQ(Status(), "Stopped");
    EXPECT_EQ(TrackId(), MprisService::kNoTrack);
    EXPECT_EQ(PositionUs(), 0);

    // A second viewer takes the instance name; without a bus the window runs alone.
    {
        QDBusConnection other = QDBusConnection::connectToBus(address, QStringLiteral("other"));
        MprisService second(Window());
        ASSERT_TRUE(second.Register(other));
        EXPECT_EQ(second.BusName(),
                  QStringLiteral("%1.instance%2").arg(MprisService::kServiceName).arg(getpid()));
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("other"));
    MprisService unbound(Window());
    EXPECT_FALSE(unbound.Register(QDBusConnection(QStringLiteral("no-such-connection"))));
    EXPECT_TRUE(unbound.BusName().isEmpty());
}

TEST_F(MprisFixture, TransportMethodsActLikeTheWindowsButtons) {
    ShowCard();  // row 0 selected, nothing playing
    EXPECT_TRUE(Get(kPlayer, "CanPlay").toBool());
    EXPECT_FALSE(Get(kPlayer, "CanPause").toBool());

    ASSERT_TRUE(Invoke("Play"));
    EXPECT_EQ(Window().CurIndex(), 0);
    EXPECT_EQ(Status(), "Playing");
    const QVariantMap metadata = Metadata();
    EXPECT_EQ(metadata.value("xesam:title").toString(), Name(Card().driving[0]));
    EXPECT_EQ(metadata.value("xesam:url").toString(),
              QUrl::fromLocalFile(QString::fromStdString(Card().driving[0])).toString());
    EXPECT_EQ(metadata.value("mpris:length").toLongLong(),
              qlonglong(Window().Playback().Player().GetDuration()) * 1000);
    EXPECT_TRUE(TrackId().startsWith(MprisService::kTrackPrefix));
    ASSERT_TRUE(WaitUntil([&] { return log.Changed("PlaybackStatus", "Playing"); }));

    struct Step {
        const char* method;
        const char* status;
        int row;          // current row afterwards
        int titleOfCard;  // index into the card's DRIVING names, -1: no track
    } steps[] = {
        {"Pause", "Paused", 0, 0},     {"PlayPause", "Playing", 0, 0},
        {"PlayPause", "Paused", 0, 0}, {"Play", "Playing", 0, 0},
        {"Previous", "Playing", 1, 1},  // PRE: the row below, one older
        {"Next", "Playing", 0, 0},      // NEXT: the row above
        {"Next", "Stopped", -1, -1},    // NEXT at the top row stops, as the button does
        {"Previous", "Playing", 0, 0},  // PRE with nothing open opens row 0
        {"Stop", "Stopped", -1, -1},
    };
    for (const Step& step : steps) {
        ASSERT_TRUE(Invoke(step.method)) << step.method;
        EXPECT_EQ(Status(), step.status) << step.method;
        EXPECT_EQ(Window().CurIndex(), step.row) << step.method;
        EXPECT_EQ(Title(),
                  step.titleOfCard < 0 ? QString() : Name(Card().driving[step.titleOfCard]))
            << step.method;
        EXPECT_EQ(Visible(IDC_BUTTON_PLAY), QString(step.status) != "Playing") << step.method;
    }
    EXPECT_EQ(TrackId(), MprisService::kNoTrack);
    EXPECT_TRUE(log.Changed("PlaybackStatus", "Paused"));
    EXPECT_TRUE(log.Changed("PlaybackStatus", "Stopped"));
    EXPECT_TRUE(std::any_of(log.changes.begin(), log.changes.end(),
                            [](const QVariantMap& c) { return c.contains("Metadata"); }));
}

TEST_F(MprisFixture, SeekAndSetPositionMoveThePlayerAndAnnounceIt) {
    ShowCard();
    DoubleClickRow(1);  // 60 s
    ASSERT_TRUE(WaitForFrontFrame(2));
    const QDBusObjectPath track(TrackId());
    // The player lands on a whole second with a key frame, a few seconds from the target at
    // most, and starts again from there.
    auto near = [&](qlonglong us, qlonglong wantSec) {
        return std::llabs(us - wantSec * kUs) <= 4 * kUs;
    };

    ASSERT_TRUE(Invoke("SetPosition", {QVariant::fromValue(track), 30 * kUs}));
    ASSERT_TRUE(WaitUntil([&] { return !log.seeks.isEmpty(); }))
        << Status().toStdString() << " at " << PositionUs() << " of "
        << Window().Playback().Player().GetDuration() << " ms, track " << track.path().toStdString()
        << " now " << TrackId().toStdString();
    EXPECT_TRUE(near(log.seeks.last(), 30)) << log.seeks.last();
    EXPECT_TRUE(near(PositionUs(), 30)) << PositionUs();

    struct Row {
        qlonglong offsetSec;
        qlonglong landSec;
    } rows[] = {{10, 40}, {-25, 15}, {-100, 0}};  // past the start lands on it
    for (const Row& row : rows) {
        const int seen = log.seeks.size();
        ASSERT_TRUE(Invoke("Seek", {row.offsetSec * kUs}));
        ASSERT_TRUE(WaitUntil([&] { return log.seeks.size() > seen; }))
            << row.offsetSec << " " << Status().toStdString() << " " << PositionUs() << " "
            << Title().toStdString() << Window().Playback().Player().IsRunning();
        EXPECT_TRUE(near(log.seeks.last(), row.landSec))
            << row.offsetSec << " " << log.seeks.last();
    }

    // A stale track id or a position past the end is ignored.
    const qlonglong before = PositionUs();
    ASSERT_TRUE(Invoke("SetPosition", {QVariant::fromValue(QDBusObjectPath("/other")), 50 * kUs}));
    ASSERT_TRUE(Invoke("SetPosition", {QVariant::fromValue(track), 500 * kUs}));
    Pump(500);
    EXPECT_LT(PositionUs() - before, 5 * kUs);
    EXPECT_EQ(Window().CurIndex(), 1);

    // A seek made in the window is announced too.
    const int seen = log.seeks.size();
    SendSliderRelease(IDC_SLIDER_POS, 45);
    ASSERT_TRUE(WaitUntil([&] { return log.seeks.size() > seen; }));
    EXPECT_TRUE(near(log.seeks.last(), 45)) << log.seeks.last();

    // While paused a seek still lands, is announced, and playback stays paused.
    Invoke("Pause");
    EXPECT_TRUE(Get(kPlayer, "CanSeek").toBool());
    const int seenPaused = log.seeks.size();
    ASSERT_TRUE(Invoke("SetPosition", {QVariant::fromValue(track), 20 * kUs}));
    ASSERT_TRUE(WaitUntil([&] { return log.seeks.size() > seenPaused; }));
    EXPECT_TRUE(near(log.seeks.last(), 20)) << log.seeks.last();
    EXPECT_EQ(Status(), "Paused");

    // Seeking past the end moves to the next track, as NEXT does.
    Invoke("Play");
    ASSERT_TRUE(Invoke("Seek", {100 * kUs}));
    EXPECT_EQ(Window().CurIndex(), 0);
    EXPECT_EQ(Title(), Name(Card().driving[0]));
}

TEST_F(MprisFixture, PositionsLandOnTheFrameAskedForAndReadItsTime) {
    ShowCard();
    DoubleClickRow(1);  // 60 s at 30 frames a second
    ASSERT_TRUE(WaitForFrontFrame(2));
    const QDBusObjectPath track(TrackId());
    Invoke("Pause");  // a paused seek shows exactly the frame it lands on
    auto setPosition = [&](qlonglong us) {
        return Invoke("SetPosition", {QVariant::fromValue(track), us});
    };
    // Every request lands on its frame, under a second too; a Seek counts from the frame on
    // screen (frame 300 at 10 s).
    const struct {
        const char* what;
        std::function<bool()> request;
        int frame;
    } rows[] = {
        {"SetPosition 0", [&] { return setPosition(0); }, 0},
        {"SetPosition 0.5 s", [&] { return setPosition(kUs / 2); }, 15},
        {"SetPosition 0.999 s", [&] { return setPosition(kUs - 1000); }, 29},
        {"Seek -8.5 s", [&] { return Invoke("Seek", {-8 * kUs - kUs / 2}); }, 45},
        {"SetPosition 1.5 s", [&] { return setPosition(kUs + kUs / 2); }, 45},
    };
    for (const auto& row : rows) {
        ASSERT_TRUE(setPosition(10 * kUs));
        ASSERT_TRUE(WaitUntil([&] { return FrontFrame() == 300; })) << FrontFrame();
        const int seen = log.seeks.size();
        ASSERT_TRUE(row.request()) << row.what;
        EXPECT_TRUE(WaitUntil([&] { return FrontFrame() == row.frame; }))
            << row.what << ": shows frame " << FrontFrame();
        // Announced as the position of the frame shown, which the player then reads.
        const qlonglong frameUs = row.frame * kUs / 30;
        EXPECT_TRUE(WaitUntil([&] {
            return log.seeks.size() > seen && std::llabs(log.seeks.last() - frameUs) < kUs / 30;
        })) << row.what;
        EXPECT_LT(std::llabs(PositionUs() - frameUs), kUs / 30) << row.what;
        EXPECT_EQ(Status(), "Paused") << row.what;
        EXPECT_EQ(Window().CurIndex(), 1) << row.what;
    }

    // While playing: back to the first second, and the recording plays on from there.
    Invoke("Play");
    ASSERT_TRUE(setPosition(10 * kUs));
    ASSERT_TRUE(WaitUntil([&] { return FrontFrame() >= 300; }));
    ASSERT_TRUE(setPosition(kUs / 2));
    EXPECT_TRUE(WaitUntil([&] { return FrontFrame() < 30; })) << FrontFrame();
    EXPECT_TRUE(WaitForFrontFrame(45));
    EXPECT_EQ(Window().CurIndex(), 1);
    EXPECT_EQ(Status(), "Playing");
}

TEST_F(MprisFixture, OpenUriPlaysARecordingFromItsCardAndIgnoresOtherUris) {
    const QString file = QString::fromStdString(Card().driving[1]);
    for (const QString& bad :
         {QStringLiteral("http://example.com/a.avi"),
          QUrl::fromLocalFile(file + ".missing").toString(),
          QUrl::fromLocalFile(QString::fromStdString(Card().root)).toString()}) {
        ASSERT_TRUE(Invoke("OpenUri", {bad}));
        EXPECT_EQ(Status(), "Stopped") << bad.toStdString();
    }
    ASSERT_TRUE(Invoke("OpenUri", {QUrl::fromLocalFile(file).toString()}));
    EXPECT_EQ(Status(), "Playing");
    EXPECT_EQ(Title(), Name(Card().driving[1]));
    ASSERT_GE(Window().CurIndex(), 0);
    EXPECT_EQ(Window().Navigator().RowOfPath(Card().driving[1]), Window().CurIndex())
        << "its row is current";
    ASSERT_TRUE(WaitUntil([&] { return log.Changed("PlaybackStatus", "Playing"); }));
}

TEST_F(MprisFixture, VolumeIsTheVolumeSlider) {
    EXPECT_NEAR(Get(kPlayer, "Volume").toDouble(), 50 / 99.0, 1e-9);
    ASSERT_TRUE(Set("Volume", 0.25));
    EXPECT_EQ(Window().VolumeSlider()->GetPos(), 25);
    EXPECT_EQ(Window().Playback().Session().Output().GetVolume() & 0xFFFF, 16383u);
    ASSERT_TRUE(Set("Volume", -1.0));  // clamped: silence, and the mute button shows it
    EXPECT_EQ(Window().VolumeSlider()->GetPos(), 0);
    EXPECT_EQ(MuteCheck(), 1);
    ASSERT_TRUE(WaitUntil([&] { return log.Changed("Volume", 0.0); }));
    // The mute button: what is heard is silence, and the volume kept comes back after.
    ASSERT_TRUE(Set("Volume", 0.5));
    Window().OnBnClickedButtonMute();
    EXPECT_EQ(MuteCheck(), 1);
    EXPECT_EQ(Get(kPlayer, "Volume").toDouble(), 0.0);
    EXPECT_EQ(Window().Playback().Session().Output().GetVolume(), 0u);
    Window().OnBnClickedButtonMute();
    EXPECT_EQ(MuteCheck(), 0);
    EXPECT_NEAR(Get(kPlayer, "Volume").toDouble(), 50 / 99.0, 1e-9);
    EXPECT_TRUE(Window().Settings().Volume() == 50 && !Window().Settings().Muted());
}

TEST_F(MprisFixture, RateIsThePlayersRateAtItsNearestStep) {
    const struct {
        double asked, rate;
    } cases[] = {{2.0, 2.0}, {1.4, 1.5}, {10.0, 4.0}, {0.1, 0.25}, {-1.0, 0.25}, {1.0, 1.0}};
    for (const auto& c : cases) {
        ASSERT_TRUE(Set("Rate", c.asked));
        EXPECT_EQ(Get(kPlayer, "Rate").toDouble(), c.rate) << c.asked;
        EXPECT_EQ(Window().Playback().Player().GetRatePercent(), static_cast<int>(c.rate * 100))
            << c.asked;
    }
    ASSERT_TRUE(Set("Rate", 0.5));
    EXPECT_EQ(LabelText(IDC_STATIC_RATE), QString::fromUtf8("0.5\u00d7"));
    ASSERT_TRUE(WaitUntil([&] { return log.Changed("Rate", 0.5); }));
}

TEST_F(MprisFixture, PlayerctlDrivesTheViewer) {
    const QString playerctl = QStandardPaths::findExecutable(QStringLiteral("playerctl"));
    if (playerctl.isEmpty()) GTEST_SKIP() << "playerctl is not installed";
    ShowCard();
    auto run = [&](const QStringList& args) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
        process.setProcessEnvironment(env);
        process.start(playerctl, QStringList{QStringLiteral("--player=tarvex")} + args);
        // The service answers from this thread's event loop.
        WaitUntil([&] { return process.state() == QProcess::NotRunning; });
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    };
    run({"play-pause"});
    EXPECT_EQ(Window().CurIndex(), 0);
    EXPECT_EQ(run({"status"}), "Playing");
    EXPECT_EQ(run({"metadata", "xesam:title"}), Name(Card().driving[0]));
    run({"next"});  // the top row: playback stops
    EXPECT_EQ(run({"status"}), "Stopped");
    EXPECT_FALSE(Window().IsPlayerActive());
}

// A trip is one track as far as time goes: its length and position span both recordings,
// while the url and title follow the one on screen.
TEST_F(MprisFixture, ATripIsOneTimelineForLengthPositionAndSetPosition) {
    const std::vector<std::string>& trip = TripRecordings();
    ASSERT_TRUE(
        Invoke("OpenUri", {QUrl::fromLocalFile(QString::fromStdString(trip[0])).toString()}));
    ASSERT_EQ(Window().TripPaths().size(), 2u) << "a recording of a trip plays the trip";
    auto length = [&] { return Metadata().value(QStringLiteral("mpris:length")).toLongLong(); };
    ASSERT_TRUE(WaitUntil([&] { return length() == 2 * kTripPartSec * kUs; })) << length();
    EXPECT_EQ(Title(), Name(trip[0]));

    const QString playerctl = QStandardPaths::findExecutable(QStringLiteral("playerctl"));
    // The position as a desktop client reads it: playerctl where installed, else the property.
    auto position = [&]() -> qlonglong {
        if (playerctl.isEmpty()) return PositionUs();
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
        process.setProcessEnvironment(env);
        process.start(playerctl, {QStringLiteral("--player=tarvex"), QStringLiteral("position")});
        WaitUntil([&] { return process.state() == QProcess::NotRunning; });
        const double seconds = QString::fromUtf8(process.readAllStandardOutput()).toDouble();
        return static_cast<qlonglong>(std::llround(seconds * kUs));
    };

    // From 18 s it runs on past 20 s into the second recording, never back.
    ASSERT_TRUE(Invoke("SetPosition", {QVariant::fromValue(QDBusObjectPath(TrackId())), 18 * kUs}));
    constexpr qlonglong kPlayerctlNoiseUs = 1000;
    qlonglong last = 0;
    bool crossed = false;
    // Read for as long as the 4 s of playing take (a busy machine reads fewer times).
    QElapsedTimer reading;
    reading.start();
    for (int reads = 0; reading.elapsed() < 20000 && last < 22 * kUs; ++reads) {
        const qlonglong now = position();
        // playerctl adds its own microseconds of arithmetic; a step back on the player's
        // side would be a frame (33 ms) or more.
        EXPECT_GE(now, last - kPlayerctlNoiseUs) << "read " << reads;
        last = now;
        crossed = crossed || Title() == Name(trip[1]);
    }
    EXPECT_GE(last, 22 * kUs);
    EXPECT_TRUE(crossed);
    EXPECT_EQ(length(), 2 * kTripPartSec * kUs);

    // Paused, positions on the trip's timeline read back where they were put and stay there.
    ASSERT_TRUE(Invoke("Pause"));
    const struct {
        qlonglong us;
        const std::string& recording;
    } rows[] = {{10 * kUs, trip[0]}, {0, trip[0]}, {15500000, trip[0]}, {35 * kUs, trip[1]}};
    constexpr qlonglong kToleranceUs = 40000;
    for (const auto& row : rows) {
        ASSERT_TRUE(
            Invoke("SetPosition", {QVariant::fromValue(QDBusObjectPath(TrackId())), row.us}));
        EXPECT_LE(std::llabs(position() - row.us), kToleranceUs) << row.us;
        Pump(300);
        EXPECT_LE(std::llabs(position() - row.us), kToleranceUs) << row.us << " stays put";
        EXPECT_EQ(Status(), "Paused");
        EXPECT_EQ(Title(), Name(row.recording));
    }
}

#include "MprisServiceTest.moc"
