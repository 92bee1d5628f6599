#include "library/CSelectDriveDlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "library/RemovableDrives.h"
#include "support/QtText.h"
#include "support/StringTable.h"

CSelectDriveDlg::CSelectDriveDlg(QWidget* parent)
    : CSelectDriveDlg(parent, ListRemovableDrives()) {}

CSelectDriveDlg::CSelectDriveDlg(QWidget* parent, std::vector<std::string> drives)
    : QDialog(parent), m_drives(std::move(drives)) {
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    m_labelDrive = new QLabel(this);
    m_comboDrive = new QComboBox(this);
    m_comboDrive->setEditable(true);
    m_comboDrive->setInsertPolicy(QComboBox::InsertAlphabetically);
    m_comboDrive->setMinimumWidth(260);
    m_labelGuide = new QLabel(this);
    m_labelGuide->setAlignment(Qt::AlignCenter);
    m_buttonOk = new QPushButton(this);
    m_buttonOk->setDefault(true);
    m_buttonOk->setAutoDefault(true);
    connect(m_buttonOk, &QPushButton::clicked, this, &QDialog::accept);
    m_buttonFolder = new QPushButton(this);
    m_buttonFolder->setAutoDefault(false);
    connect(m_buttonFolder, &QPushButton::clicked, this, [this] { done(kChooseFolder); });

    auto* layout = new QGridLayout(this);
    layout->addWidget(m_labelDrive, 0, 0);
    layout->addWidget(m_comboDrive, 0, 1);
    layout->addWidget(m_labelGuide, 1, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_buttonOk);
    buttons->addWidget(m_buttonFolder);
    buttons->addStretch();
    layout->addLayout(buttons, 2, 0, 1, 2);
    OnInitDialog();
}

void CSelectDriveDlg::OnInitDialog() {
    InitUiLanguage();
    setWindowTitle(Tr(texts::kSelectDrive));
    m_labelDrive->setText(Tr(texts::kSelectDrive));
    m_labelGuide->setText(Tr(texts::kDriveGuide));
    m_buttonOk->setText(Tr(texts::kOk));
    m_buttonFolder->setText(Tr(texts::kChooseFolder));
    // The entries are sorted, so entry 0 is the first volume in name order.
    std::vector<std::string> sorted = m_drives;
    std::sort(sorted.begin(), sorted.end());
    for (const std::string& drive : sorted) m_comboDrive->addItem(QString::fromStdString(drive));
    if (m_comboDrive->count() > 0) m_comboDrive->setCurrentIndex(0);
}

int CSelectDriveDlg::DoModal() {
    if (m_comboDrive->count() == 0) return QDialog::Rejected;
    return exec();
}

void CSelectDriveDlg::accept() {
    m_strDrive = m_comboDrive->currentText().toStdString();
    QDialog::accept();
}
