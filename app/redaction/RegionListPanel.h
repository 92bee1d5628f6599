#pragma once
// The redaction tool's list: one row per region to blur (camera, kind, time span and how its
// boxes were made) and, after a detection, one row per suggestion waiting to be accepted or
// dismissed. Buttons for detection, cutting the selected region at the picture shown and
// deleting it, the kind given to new boxes, and the running job's progress with Cancel.
// A small window of its own beside the main one.
//
// GUI thread only. It shows what it is given (Refill) and says what the user asks by its
// signals; the redaction tool owns the regions and the selection.

#include <QWidget>

#include "redact/MaskFile.h"

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class RegionEdit;

class RegionListPanel : public QWidget {
    Q_OBJECT
public:
    enum Column { kCameraColumn, kKindColumn, kTimeColumn, kBoxesColumn, kColumnCount };

    explicit RegionListPanel(QWidget* parent);

    // The rows again: the regions, then the suggestions; the selected region's row current.
    void Refill(const RegionEdit& edit, int selectedId);
    // A job runs: its text, its progress and Cancel; the editing buttons wait.
    void ShowBusy(const QString& text);
    void SetProgress(double fraction);
    // No job: the note (the hint when empty) under the list.
    void ShowIdle(const QString& note = QString());
    MaskKind NewKind() const;

    QTreeWidget* Rows() const { return m_pRows; }
    QPushButton* DetectButton() const { return m_pDetect; }
    QString NoteText() const;

    // "Front", "Plate", "0:12.3": how a region is named in the list.
    static QString CameraText(int camera);
    static QString KindText(MaskKind kind);
    static QString TimeText(int64_t ms);

signals:
    void regionChosen(int id);
    void detectAsked();
    void cutAsked();
    void deleteAsked();
    void acceptAsked(int suggestion);
    void dismissAsked(int suggestion);
    void kindChosen(MaskKind kind);
    void cancelAsked();
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* MakeButtons();
    void AddRow(const MaskRegion& region, int data, bool suggestion);
    // The suggestion of the current row; -1 when it is a region's or there is none.
    int CurrentSuggestion() const;
    void UpdateButtons();

    QTreeWidget* m_pRows;  // children, all of them
    QComboBox* m_pKind;
    QLabel* m_pNote;
    QProgressBar* m_pProgress;
    QPushButton* m_pDetect;
    QPushButton* m_pCut;
    QPushButton* m_pDelete;
    QPushButton* m_pAccept;
    QPushButton* m_pDismiss;
    QPushButton* m_pCancel;
    bool m_bBusy = false;
    bool m_bFilling = false;  // Refill is setting the current row: no regionChosen
};
