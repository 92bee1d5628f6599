#pragma once
// The archive's part of the viewer's settings: the archive folder, the catalogue (a file or
// a server address; empty for the one in the folder) and what happens when a card is
// inserted. Reads and writes nothing itself: it edits an ArchiveSettings. GUI thread only.

#include <QDialog>

#include "app/archive/ArchiveSettings.h"

class QComboBox;
class QLineEdit;

class ArchiveSettingsDlg : public QDialog {
    Q_OBJECT
public:
    ArchiveSettingsDlg(const ArchiveSettings& settings, QWidget* parent = nullptr);

    ArchiveSettings Settings() const;
    QLineEdit* FolderEdit() const { return m_folder; }
    QLineEdit* CatalogueEdit() const { return m_catalogue; }
    QComboBox* ImportCombo() const { return m_import; }

private:
    QLineEdit* m_folder = nullptr;
    QLineEdit* m_catalogue = nullptr;
    QComboBox* m_import = nullptr;
};
