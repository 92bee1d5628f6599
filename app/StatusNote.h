#pragma once
// A one-line note laid over the bottom edge of the main video area: what went wrong with a
// recording, that the card went away, how to open a card. It never takes the focus or a
// click, and never waits for an answer.

#include <QLabel>

class QTimer;

class StatusNote : public QLabel {
    Q_OBJECT
public:
    static constexpr int kFadeMs = 8000;  // how long a passing note stays
    static constexpr int kHeight = 22;

    explicit StatusNote(QWidget* parent);

    // Shows text across the bottom of area (parent coordinates). A persistent note stays
    // until the next one; a passing one hides after kFadeMs.
    void Show(const QString& text, const QRect& area, bool persistent);
    void Clear();

private:
    QTimer* m_fade = nullptr;
};
