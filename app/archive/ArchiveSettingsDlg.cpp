#include "app/archive/ArchiveSettingsDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

#include "archive/ArchiveLayout.h"
#include "support/QtText.h"
#include "support/StringTable.h"

namespace {

constexpr int IDS_CAPTION_KO = 2642, IDS_CAPTION_EN = 2643;
constexpr int IDS_FOLDER_KO = 2644, IDS_FOLDER_EN = 2645;
constexpr int IDS_CATALOGUE_KO = 2646, IDS_CATALOGUE_EN = 2647;
constexpr int IDS_CATALOGUE_HINT_KO = 2648, IDS_CATALOGUE_HINT_EN = 2649;
constexpr int IDS_ON_CARD_KO = 2650, IDS_ON_CARD_EN = 2651;
constexpr int IDS_ASK_KO = 2652, IDS_ASK_EN = 2653;
constexpr int IDS_ALWAYS_KO = 2654, IDS_ALWAYS_EN = 2655;
constexpr int IDS_NEVER_KO = 2656, IDS_NEVER_EN = 2657;
constexpr int IDS_BROWSE_KO = 2658, IDS_BROWSE_EN = 2659;

}  // namespace

ArchiveSettingsDlg::ArchiveSettingsDlg(const ArchiveSettings& settings, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(TrPair(IDS_CAPTION_KO, IDS_CAPTION_EN));
    auto* form = new QFormLayout(this);
    m_folder = new QLineEdit(QString::fromStdString(settings.folder), this);
    m_folder->setPlaceholderText(QString::fromStdString(DefaultArchiveFolder()));
    auto* browse = new QPushButton(TrPair(IDS_BROWSE_KO, IDS_BROWSE_EN), this);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString chosen = QFileDialog::getExistingDirectory(
            this, TrPair(IDS_FOLDER_KO, IDS_FOLDER_EN),
            m_folder->text().isEmpty() ? m_folder->placeholderText() : m_folder->text());
        if (!chosen.isEmpty()) m_folder->setText(chosen);
    });
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(browse);
    form->addRow(TrPair(IDS_FOLDER_KO, IDS_FOLDER_EN), folderRow);

    m_catalogue = new QLineEdit(QString::fromStdString(settings.catalogue), this);
    m_catalogue->setPlaceholderText(TrPair(IDS_CATALOGUE_HINT_KO, IDS_CATALOGUE_HINT_EN));
    m_catalogue->setMinimumWidth(360);
    form->addRow(TrPair(IDS_CATALOGUE_KO, IDS_CATALOGUE_EN), m_catalogue);

    m_import = new QComboBox(this);
    m_import->addItem(TrPair(IDS_ASK_KO, IDS_ASK_EN), int(ImportChoice::Ask));
    m_import->addItem(TrPair(IDS_ALWAYS_KO, IDS_ALWAYS_EN), int(ImportChoice::Always));
    m_import->addItem(TrPair(IDS_NEVER_KO, IDS_NEVER_EN), int(ImportChoice::Never));
    m_import->setCurrentIndex(m_import->findData(int(settings.import)));
    form->addRow(TrPair(IDS_ON_CARD_KO, IDS_ON_CARD_EN), m_import);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

ArchiveSettings ArchiveSettingsDlg::Settings() const {
    ArchiveSettings s;
    s.folder = m_folder->text().trimmed().toStdString();
    s.catalogue = m_catalogue->text().trimmed().toStdString();
    s.import = static_cast<ImportChoice>(m_import->currentData().toInt());
    return s;
}
