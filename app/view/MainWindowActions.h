#pragma once
// The main window's commands as QActions: each with its keys, its tooltip (which names the
// keys) and its handler, made from one table the window gives. A skinned button triggers its
// command's action; a key press the window does not keep for its list or timeline triggers
// the action whose key it is.
//
// Where two commands share a key (Space: play and pause; Enter: full screen and back; Esc:
// back from full screen), the key does what the button shown does; a command without a
// button always takes its key. GUI thread only.

#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <initializer_list>
#include <map>

#include "res/TextIds.h"

class QAbstractButton;
class QAction;
class QKeySequence;

enum class WindowCommand {
    Minimize,
    Close,
    FullScreen,
    Maximize,
    PrevSize,
    ChangeView,
    MapLarge,
    SubCamera,
    MapSmall,
    Mirror,
    Driving,
    Event,
    Parking,
    User,
    All,
    Open,
    Stop,
    Pre,
    Backward,
    Play,
    Pause,
    Forward,
    Next,
    Zoom,
    Capture,
    Setting,
    Mute,
    VolumeUp,
    VolumeDown,
    StepBack,
    StepForward,
    Slower,
    Faster,
    PreviousEvent,
    NextEvent,
    MarkIn,
    MarkOut,
    ExportClip,
    ToggleTrips,
    Bookmark,
    Archive,
    Redact,
};

class MainWindowActions : public QObject {
    Q_OBJECT
public:
    struct Row {
        WindowCommand command;
        QList<int> keys;  // Qt keys, without modifiers
        // The tip; "%s" in it stands for the names of the command's keys.
        TextId tip;
        std::function<void()> handler;
        // A second trace line a key press writes before it acts (the arrow keys have one).
        const char* keyTrace = nullptr;
        // The letter keys act only without Ctrl and Alt, which stay free for the desktop.
        bool plainOnly = false;
    };

    explicit MainWindowActions(QObject* parent = nullptr);

    void Add(const Row& row);
    QAction* Action(WindowCommand command) const;
    // The button triggers the command's action and takes its tooltip and accessible name.
    void Bind(WindowCommand command, QAbstractButton* button);
    // The command's keys act only while button shows (it triggers another command).
    void Gate(WindowCommand command, QAbstractButton* button) {
        m_entries.at(command).button = button;
    }
    // Triggers the action whose key this is (Shift never matters; Ctrl and Alt only keep the
    // letter keys from acting); false when no action takes it now.
    bool TriggerKey(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

    // The names of a key sequence and of a command's keys, in the interface's language.
    static QString KeyName(const QKeySequence& keys);
    QString KeyNames(WindowCommand command) const;
    // A tip with each "%s" replaced by the key names of the next command.
    QString TipWithKeys(TextId tip, std::initializer_list<WindowCommand> commands) const;

private:
    struct Entry {
        QAction* action = nullptr;
        QAbstractButton* button = nullptr;
        const char* keyTrace = nullptr;
        bool plainOnly = false;
    };
    std::map<WindowCommand, Entry> m_entries;
};
