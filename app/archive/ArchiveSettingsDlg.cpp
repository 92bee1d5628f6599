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

ArchiveSettingsDlg::ArchiveSettingsDlg(const ArchiveSettings& settings, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(Tr(texts::kArchiveSettingsCaption));
    auto* form = new QFormLayout(this);
    m_folder = new QLineEdit(QString::fromStdString(settings.folder), this);
    m_folder->setPlaceholderText(QString::fromStdString(DefaultArchiveFolder()));
    auto* browse = new QPushButton(Tr(texts::kBrowse), this);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString chosen = QFileDialog::getExistingDirectory(
            this, Tr(texts::kArchiveFolder),
            m_folder->text().isEmpty() ? m_folder->placeholderText() : m_folder->text());
        if (!chosen.isEmpty()) m_folder->setText(chosen);
    });
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(browse);
    form->addRow(Tr(texts::kArchiveFolder), folderRow);

    m_catalogue = new QLineEdit(QString::fromStdString(settings.catalogue), this);
    m_catalogue->setPlaceholderText(Tr(texts::kCatalogueHint));
    m_catalogue->setMinimumWidth(360);
    form->addRow(Tr(texts::kCatalogue), m_catalogue);

    m_import = new QComboBox(this);
    m_import->addItem(Tr(texts::kAsk), int(ImportChoice::Ask));
    m_import->addItem(Tr(texts::kAlways), int(ImportChoice::Always));
    m_import->addItem(Tr(texts::kNever), int(ImportChoice::Never));
    m_import->setCurrentIndex(m_import->findData(int(settings.import)));
    form->addRow(Tr(texts::kOnCard), m_import);

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
