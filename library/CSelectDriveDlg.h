#pragma once
// The small modal dialog in which the user names the card's drive: it offers every mounted
// removable volume (by mount point), preselects the first one and hands back the entry's
// text exactly as it stands, so a folder typed by hand is taken too; "Choose folder…" hands
// the choice to a folder chooser instead. With no removable volume at all it closes itself
// as cancelled without showing anything.

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;

class CSelectDriveDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int IDC_COMBO_DRIVE = 1024;
    static constexpr int IDC_STATIC_DRIVE = 1232;
    static constexpr int IDC_STATIC_GUIDE = 1233;
    // DoModal's result when the user asked for a folder instead of a drive.
    static constexpr int kChooseFolder = 2;

    // drives: the volumes to offer; by default the computer's removable volumes.
    explicit CSelectDriveDlg(QWidget* parent = nullptr);
    CSelectDriveDlg(QWidget* parent, std::vector<std::string> drives);

    // Accepted with m_strDrive holding the entry's text, kChooseFolder, or Rejected.
    int DoModal();

    QComboBox* Combo() const { return m_comboDrive; }
    QPushButton* ChooseFolderButton() const { return m_buttonFolder; }

    std::string m_strDrive;

protected:
    void accept() override;

private:
    void OnInitDialog();

    std::vector<std::string> m_drives;
    QComboBox* m_comboDrive = nullptr;
    QLabel* m_labelDrive = nullptr;
    QLabel* m_labelGuide = nullptr;
    QPushButton* m_buttonOk = nullptr;
    QPushButton* m_buttonFolder = nullptr;
};
