#include "app/desktop/MprisService.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QDBusMessage>
#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "app/desktop/MprisPlayerAdaptor.h"
#include "app/desktop/MprisRootAdaptor.h"
#include "app/list/RecordingListView.h"
#include "app/view/ViewerSettings.h"
#include "app/window/CSamplePlayerDlg.h"
#include "app/window/Resource.h"
#include "controls/CBitmapSlider.h"
#include "library/RecordingCatalogue.h"
#include "support/QtText.h"
#include "support/StringTable.h"
#include "support/Trace.h"

namespace {

constexpr const char* kStatusPlaying = "Playing";
constexpr const char* kStatusPaused = "Paused";
constexpr const char* kStatusStopped = "Stopped";
constexpr int kTrackIdHexChars = 16;
constexpr double kPercent = 100.0;
constexpr int64_t kMsPerSec = 1000;

}  // namespace

MprisService::MprisService(CSamplePlayerDlg& window, QObject* parent)
    : QObject(parent), m_window(window), m_bus(QString()) {
    new MprisRootAdaptor(this);
    m_player = new MprisPlayerAdaptor(this);
    FollowWindow();
}

void MprisService::FollowWindow() {
    PlaybackController* playback = &m_window.Playback();
    connect(playback, &PlaybackController::recordingChanged, this, &MprisService::Refresh);
    connect(playback, &PlaybackController::stateChanged, this, &MprisService::Refresh);
    connect(playback, &PlaybackController::durationChanged, this, &MprisService::Refresh);
    connect(playback, &PlaybackController::rateChanged, this, &MprisService::Refresh);
    connect(playback, &PlaybackController::seeked, this, [this](qint64 ms) {
        Refresh();  // a seek into another recording of a trip changes the track first
        if (!m_busName.isEmpty()) EmitSeeked(ms);
    });
    connect(&m_window.Settings(), &ViewerSettings::volumeChanged, this, &MprisService::Refresh);
    connect(&m_window.Settings(), &ViewerSettings::mutedChanged, this, &MprisService::Refresh);
    // What can be played or gone back to follows the list's rows and selection.
    QAbstractItemModel* rows = m_window.List()->model();
    connect(rows, &QAbstractItemModel::rowsInserted, this, &MprisService::Refresh);
    connect(rows, &QAbstractItemModel::rowsRemoved, this, &MprisService::Refresh);
    connect(rows, &QAbstractItemModel::modelReset, this, &MprisService::Refresh);
    connect(m_window.List()->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MprisService::Refresh);
}

MprisService::~MprisService() {
    if (m_busName.isEmpty()) return;
    m_bus.unregisterService(m_busName);
    m_bus.unregisterObject(QString::fromLatin1(kObjectPath));
}

bool MprisService::Register(QDBusConnection bus) {
    if (!bus.isConnected()) return false;
    const QString path = QString::fromLatin1(kObjectPath);
    if (!bus.registerObject(path, this, QDBusConnection::ExportAdaptors)) return false;
    QString name = QString::fromLatin1(kServiceName);
    if (!bus.registerService(name)) {
        // Another viewer has the plain name; MPRIS names a second instance with this suffix.
        name += QStringLiteral(".instance%1").arg(getpid());
        if (!bus.registerService(name)) {
            bus.unregisterObject(path);
            return false;
        }
    }
    m_bus = bus;
    m_busName = name;
    Trace("MPRIS %s\n", qPrintable(name));
    Refresh();  // the starting point of the signals
    return true;
}

// ---- state ----

QString MprisService::Identity() const {
    return Tr(texts::kTitle);
}

QString MprisService::OpenPath() const {
    return QString::fromStdString(m_window.OpenRecordingPath());
}

bool MprisService::IsPlaying() const {
    return m_window.Playback().State() == PlaybackState::Playing;
}

QString MprisService::PlaybackStatus() const {
    if (!m_window.IsPlayerActive()) return QString::fromLatin1(kStatusStopped);
    return QString::fromLatin1(IsPlaying() ? kStatusPlaying : kStatusPaused);
}

QDBusObjectPath MprisService::TrackId() const {
    const QString path = OpenPath();
    if (path.isEmpty()) return QDBusObjectPath(QString::fromLatin1(kNoTrack));
    // Object path elements allow only [A-Za-z0-9_]; a digest of the path is stable for one
    // file, so a client may hand it back to SetPosition.
    const QByteArray digest = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha1);
    return QDBusObjectPath(QString::fromLatin1(kTrackPrefix) +
                           QString::fromLatin1(digest.toHex().left(kTrackIdHexChars)));
}

QVariantMap MprisService::Metadata() const {
    QVariantMap metadata;
    metadata.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(TrackId()));
    const QString path = OpenPath();
    if (path.isEmpty()) return metadata;
    metadata.insert(QStringLiteral("mpris:length"),
                    static_cast<qlonglong>(m_window.Playback().Duration()) * kUsPerMs);
    metadata.insert(QStringLiteral("xesam:url"),
                    QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
    metadata.insert(QStringLiteral("xesam:title"), QFileInfo(path).fileName());
    return metadata;
}

int64_t MprisService::PositionUs() const {
    if (!m_window.IsPlayerActive()) return 0;
    return m_window.Playback().Position() * kUsPerMs;
}

double MprisService::Volume() const {
    return m_window.Settings().HeardVolume() / static_cast<double>(ViewerSettings::kVolumeMax);
}

void MprisService::SetVolume(double volume) {
    if (!std::isfinite(volume)) return;
    const int position =
        static_cast<int>(std::lround(std::clamp(volume, 0.0, 1.0) * ViewerSettings::kVolumeMax));
    // As if the user had released the volume slider there: the sound output and the mute
    // button follow.
    m_window.VolumeSlider()->SetPos(position);
    m_window.Shown().ApplyVolume(position);
    Refresh();
}

double MprisService::Rate() const {
    return m_window.Playback().Rate() / kPercent;
}

void MprisService::SetRate(double rate) {
    // A rate of 0 is a pause request; negative and non-finite rates are not ours to take.
    if (!std::isfinite(rate) || rate < 0.0) return;
    if (rate == 0.0) {
        Pause();
        return;
    }
    const double clamped = std::clamp(rate, kMinimumRate, kMaximumRate);
    m_window.Playback().SetRate(static_cast<int>(std::lround(clamped * kPercent)));
    Refresh();
}

bool MprisService::CanPlay() const {
    return m_window.IsPlayerActive() || m_window.List()->HasSelection();
}

bool MprisService::CanPause() const {
    return m_window.CanSeek();
}

bool MprisService::CanSeek() const {
    // A seek while paused shows the picture sought and stays paused, as the window's keys do.
    return m_window.IsPlayerActive();
}

bool MprisService::CanGoNext() const {
    return m_window.IsPlayerActive();
}

bool MprisService::CanGoPrevious() const {
    return m_window.List()->RowCount() > 0;
}

// ---- commands: the window's own handlers ----

void MprisService::Raise() {
    if (m_window.isMinimized()) m_window.showNormal();
    m_window.raise();
    m_window.activateWindow();
}

void MprisService::Quit() {
    // As the close button without its question: the settings are kept.
    m_window.QuitNow();
}

void MprisService::Play() {
    m_window.OnBnClickedButtonPlay();
    Refresh();
}

void MprisService::Pause() {
    m_window.OnBnClickedButtonPause();
    Refresh();
}

void MprisService::PlayPause() {
    if (IsPlaying()) {
        m_window.OnBnClickedButtonPause();
    } else {
        m_window.OnBnClickedButtonPlay();
    }
    Refresh();
}

void MprisService::Stop() {
    m_window.OnBnClickedButtonStop();
    Refresh();
}

void MprisService::Next() {
    m_window.OnBnClickedButtonNext();
    Refresh();
}

void MprisService::Previous() {
    m_window.OnBnClickedButtonPre();
    Refresh();
}

void MprisService::Seek(int64_t offsetUs) {
    if (!CanSeek()) return;
    const int64_t target = std::max<int64_t>(
        0, m_window.Playback().Position() + offsetUs / static_cast<int64_t>(kUsPerMs));
    if (target > m_window.Playback().Duration()) {
        Next();  // past the end: the next track, as MPRIS clients expect
        return;
    }
    SeekToMs(target);
}

void MprisService::SetPosition(const QDBusObjectPath& trackId, int64_t positionUs) {
    // A stale track id means the client acted on a recording that is no longer open.
    if (!CanSeek() || trackId != TrackId()) return;
    const int64_t target = positionUs / static_cast<int64_t>(kUsPerMs);
    if (positionUs < 0 || target > m_window.Playback().Duration()) return;
    SeekToMs(target);
}

void MprisService::SeekToMs(int64_t ms) {
    // The window's own seek on the timeline of what plays; the controller's seeked signal
    // announces it.
    m_window.SeekOnTimeline(std::max<int64_t>(ms, 0));
}

void MprisService::OpenUri(const QString& uri) {
    const QUrl url(uri);
    const QString path = url.isLocalFile()           ? url.toLocalFile()
                         : QDir::isAbsolutePath(uri) ? uri
                                                     : QString();
    const QFileInfo file(path);
    if (path.isEmpty() || !file.isFile() || !IsRecordingName(file.fileName().toStdString())) {
        Trace("MPRIS OpenUri ignored: %s\n", qPrintable(uri));
        return;
    }
    // As a drop or the command line: the row when it is listed, else its card is listed.
    m_window.Navigator().OpenPath(file.absoluteFilePath());
    Refresh();
}

// ---- signals ----

void MprisService::PropertiesChanged(const QVariantMap& changed) {
    QDBusMessage signal = QDBusMessage::createSignal(
        QString::fromLatin1(kObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(kPlayerInterface) << changed << QStringList();
    m_bus.send(signal);
}

void MprisService::EmitSeeked(int64_t positionMs) {
    emit m_player->Seeked(static_cast<qlonglong>(positionMs * kUsPerMs));
}

void MprisService::Refresh() {
    Published now;
    now.status = PlaybackStatus();
    now.path = OpenPath();
    now.lengthMs = now.path.isEmpty() ? 0 : m_window.Playback().Duration();
    now.volume = m_window.Settings().HeardVolume();
    now.ratePercent = m_window.Playback().Rate();
    now.canPlay = CanPlay();
    now.canPause = CanPause();
    now.canSeek = CanSeek();
    now.canNext = CanGoNext();
    now.canPrevious = CanGoPrevious();
    if (m_busName.isEmpty()) {
        m_last = now;
        return;
    }
    QVariantMap changed;
    if (now.status != m_last.status) changed.insert(QStringLiteral("PlaybackStatus"), now.status);
    if (now.path != m_last.path || now.lengthMs != m_last.lengthMs)
        changed.insert(QStringLiteral("Metadata"), QVariant::fromValue(Metadata()));
    if (now.volume != m_last.volume) changed.insert(QStringLiteral("Volume"), Volume());
    if (now.ratePercent != m_last.ratePercent) changed.insert(QStringLiteral("Rate"), Rate());
    auto flag = [&](const char* name, bool value, bool before) {
        if (value != before) changed.insert(QString::fromLatin1(name), value);
    };
    flag("CanPlay", now.canPlay, m_last.canPlay);
    flag("CanPause", now.canPause, m_last.canPause);
    flag("CanSeek", now.canSeek, m_last.canSeek);
    flag("CanGoNext", now.canNext, m_last.canNext);
    flag("CanGoPrevious", now.canPrevious, m_last.canPrevious);
    m_last = now;
    if (!changed.isEmpty()) PropertiesChanged(changed);
}
