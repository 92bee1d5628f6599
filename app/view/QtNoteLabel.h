#pragma once
// A short note over the window that goes away by itself: what a command did ("Saved
// x_front.jpg") or why it did nothing. It never takes the focus; a short note takes no click
// either, so it does not stand in the way of the controls beneath it. A lasting note (where a
// recording cut by a power loss ends) stays until it is closed by its close button or
// withdrawn, and comes back after a short note shown over it.
//
// GUI thread only.

#include <QLabel>
#include <QRect>
#include <QTimer>

class QToolButton;

class QtNoteLabel : public QLabel {
    Q_OBJECT
public:
    static constexpr int kShowMs = 4000;

    explicit QtNoteLabel(QWidget* parent);

    // Shows text with its bottom-left corner near the bottom-left corner of area (parent
    // coordinates), for kShowMs or, when persistent, until closed or withdrawn; a newer note
    // replaces the one shown.
    void ShowNote(const QString& text, const QRect& area, bool persistent = false);
    // Withdraws the lasting note (its recording is no longer on screen).
    void ClearPersistent();
    QString PersistentText() const { return m_persistentText; }
    QToolButton* CloseButton() const { return m_pClose; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Place(const QString& text, const QRect& area, bool closable);
    void ShortNoteEnded();

    QTimer m_hideTimer;
    QString m_persistentText;  // the lasting note, shown again after a short one
    QRect m_persistentArea;
    QToolButton* m_pClose = nullptr;
};
