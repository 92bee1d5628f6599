#pragma once
// A strip over the window that offers to import a card's new recordings into the archive
// ("12 new recordings on the card, 1.4 GB": Import / Not now) and then shows the import's
// progress with Cancel. Playback goes on underneath; the strip never takes the focus.
//
// GUI thread only.

#include <QFrame>

class QLabel;
class QProgressBar;
class QPushButton;

class ArchiveImportBar : public QFrame {
    Q_OBJECT
public:
    explicit ArchiveImportBar(QWidget* parent);

    void ShowOffer(const QString& card, int count, quint64 bytes);
    void ShowRunning(const QString& card);
    void SetProgress(int done, int total);
    const QString& Card() const { return m_card; }

    QLabel* Text() const { return m_text; }
    QProgressBar* Progress() const { return m_progress; }
    QPushButton* ImportButton() const { return m_import; }
    QPushButton* LaterButton() const { return m_later; }
    QPushButton* CancelButton() const { return m_cancel; }

signals:
    void importAsked(const QString& card);
    void cancelAsked();

private:
    void Place();

    QString m_card;
    QLabel* m_text = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_import = nullptr;
    QPushButton* m_later = nullptr;
    QPushButton* m_cancel = nullptr;
};
