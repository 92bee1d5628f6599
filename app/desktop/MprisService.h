#pragma once
// The viewer as an MPRIS 2 media player on the session bus, so media keys, desktop sound
// menus and playerctl drive it: service org.mpris.MediaPlayer2.tarvex, object
// /org/mpris/MediaPlayer2, interfaces org.mpris.MediaPlayer2 (MprisRootAdaptor) and
// org.mpris.MediaPlayer2.Player (MprisPlayerAdaptor).
//
// Every command runs the window's own handler (the PLAY, Pause, STOP, NEXT and PRE buttons,
// the position slider's seek, the volume slider), so a remote press has exactly the effect
// of a click. The window knows nothing of the bus: the service follows the playback
// controller's signals (and the list's and the volume's) and sends PropertiesChanged for what
// changed and Seeked for every seek, whoever asked for it. Nothing is polled: while nothing
// moves the service is silent. Position and length are on the timeline of what plays (a
// trip's whole timeline); the url, title and track id follow the recording on screen.
//
// Threads: GUI thread only; QtDBus delivers the calls there.

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <cstdint>

class CSamplePlayerDlg;
class MprisPlayerAdaptor;

class MprisService : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kServiceName = "org.mpris.MediaPlayer2.tarvex";
    static constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";
    static constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";
    static constexpr const char* kNoTrack = "/org/mpris/MediaPlayer2/TrackList/NoTrack";
    static constexpr const char* kTrackPrefix = "/org/tarvex/viewer/track/";
    static constexpr const char* kDesktopEntry = "org.tarvex.Viewer";
    // The player's slowest and fastest rates (25 % and 400 %).
    static constexpr double kMinimumRate = 0.25;
    static constexpr double kMaximumRate = 4.0;
    static constexpr int64_t kUsPerMs = 1000;

    explicit MprisService(CSamplePlayerDlg& window, QObject* parent = nullptr);
    ~MprisService() override;

    // Publishes the object and takes the bus name (a second viewer takes
    // "org.mpris.MediaPlayer2.tarvex.instance<pid>"). False when the bus is not connected or
    // the object cannot be registered; the viewer then runs without it.
    bool Register(QDBusConnection bus = QDBusConnection::sessionBus());
    // The bus name taken, empty before Register succeeds.
    const QString& BusName() const { return m_busName; }

    // ---- org.mpris.MediaPlayer2 ----
    QString Identity() const;
    void Raise();
    void Quit();

    // ---- org.mpris.MediaPlayer2.Player: state ----
    QString PlaybackStatus() const;
    QVariantMap Metadata() const;
    int64_t PositionUs() const;
    double Volume() const;
    void SetVolume(double volume);
    // The player's rate; SetRate takes the nearest one it supports, 0 pauses.
    double Rate() const;
    void SetRate(double rate);
    bool CanPlay() const;
    bool CanPause() const;
    bool CanSeek() const;
    bool CanGoNext() const;
    bool CanGoPrevious() const;
    // The track id of the open recording (kNoTrack when none).
    QDBusObjectPath TrackId() const;

    // ---- org.mpris.MediaPlayer2.Player: commands ----
    void Play();
    void Pause();
    void PlayPause();
    void Stop();
    void Next();
    void Previous();
    void Seek(int64_t offsetUs);
    void SetPosition(const QDBusObjectPath& trackId, int64_t positionUs);
    void OpenUri(const QString& uri);

    // Compares the window's state with what was last published and signals the differences.
    // Run on every announcement of the controller, the list and the volume.
    void Refresh();

private:
    struct Published {
        QString status;
        QString path;
        int64_t lengthMs = 0;
        int volume = -1;
        int ratePercent = 0;
        bool canPlay = false, canPause = false, canSeek = false, canNext = false;
        bool canPrevious = false;
    };

    QString OpenPath() const;  // the open recording, empty when none
    bool IsPlaying() const;
    void SeekToMs(int64_t ms);
    void PropertiesChanged(const QVariantMap& changed);
    void EmitSeeked(int64_t positionMs);
    void FollowWindow();

    CSamplePlayerDlg& m_window;
    MprisPlayerAdaptor* m_player = nullptr;  // owned by this object (Qt parent)
    QDBusConnection m_bus;
    QString m_busName;
    Published m_last;
};
