#include "device/CFormatDialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "support/QtText.h"
#include "support/StringTable.h"

namespace {

constexpr int IDS_FORMAT_KO = 434, IDS_FORMAT_EN = 435;
constexpr int IDS_CANCEL_KO = 568, IDS_CANCEL_EN = 569;
constexpr int IDS_CHECK_CARD_KO = 860, IDS_CHECK_CARD_EN = 861;
constexpr int IDS_DEVICE_KO = 862, IDS_DEVICE_EN = 863;
constexpr int IDS_LABEL_KO = 864, IDS_LABEL_EN = 865;
constexpr int IDS_CAPACITY_KO = 866, IDS_CAPACITY_EN = 867;
constexpr int IDS_FS_NOW_KO = 868, IDS_FS_NOW_EN = 869;
constexpr int IDS_MOUNTED_AT_KO = 870, IDS_MOUNTED_AT_EN = 871;
constexpr int IDS_RECORDINGS_KO = 872, IDS_RECORDINGS_EN = 873;
constexpr int IDS_RECORDING_COUNT_KO = 874, IDS_RECORDING_COUNT_EN = 875;
constexpr int IDS_FS_AFTER_KO = 876, IDS_FS_AFTER_EN = 877;
constexpr int IDS_ERASE_WARNING_KO = 878, IDS_ERASE_WARNING_EN = 879;
constexpr int IDS_START_KO = 880, IDS_START_EN = 881;
constexpr int IDS_FORMATTING_KO = 882, IDS_FORMATTING_EN = 883;
constexpr int IDS_UNKNOWN_KO = 884, IDS_UNKNOWN_EN = 885;
constexpr int IDS_NO_LABEL_KO = 886, IDS_NO_LABEL_EN = 887;
constexpr int IDS_CLOSE_KO = 644, IDS_CLOSE_EN = 645;
constexpr int IDS_NOT_REMOVABLE_KO = 1700, IDS_NOT_REMOVABLE_EN = 1701;
constexpr int IDS_SYSTEM_DISK_KO = 1702, IDS_SYSTEM_DISK_EN = 1703;
constexpr int IDS_FOLDER_KO = 1704, IDS_FOLDER_EN = 1705;
constexpr int IDS_DELETED_KO = 1706, IDS_DELETED_EN = 1707;
constexpr int IDS_DELETED_COUNT_KO = 1708, IDS_DELETED_COUNT_EN = 1709;
constexpr int IDS_DELETED_NONE_KO = 1710, IDS_DELETED_NONE_EN = 1711;
constexpr int IDS_RECOVER_FIRST_KO = 1712, IDS_RECOVER_FIRST_EN = 1713;
constexpr int IDS_UNARCHIVED_KO = 1960, IDS_UNARCHIVED_EN = 1961;
constexpr int IDS_UNARCHIVED_COUNT_KO = 1962, IDS_UNARCHIVED_COUNT_EN = 1963;
constexpr int IDS_UNARCHIVED_NONE_KO = 1964, IDS_UNARCHIVED_NONE_EN = 1965;
constexpr int IDS_ERASE_UNARCHIVED_KO = 1966, IDS_ERASE_UNARCHIVED_EN = 1967;
constexpr int IDS_IMPORT_FIRST_KO = 1968, IDS_IMPORT_FIRST_EN = 1969;
constexpr int IDS_ARCHIVE_UNREADABLE_KO = 1970, IDS_ARCHIVE_UNREADABLE_EN = 1971;

constexpr int kButtonWidthPx = 110;
constexpr int kValueWidthPx = 300;

QString Or(const std::string& value, int koreanId, int englishId) {
    return value.empty() ? TrPair(koreanId, englishId) : QString::fromStdString(value);
}

// "SanDisk Extreme (/dev/sdb1)"; the device file alone when the drive is not named.
QString DeviceText(const CardVolumeFacts& volume) {
    QString name = QString::fromStdString(volume.vendor + " " + volume.model).trimmed();
    const QString device = QString::fromStdString(volume.device);
    if (name.isEmpty()) return device.isEmpty() ? TrPair(IDS_UNKNOWN_KO, IDS_UNKNOWN_EN) : device;
    return device.isEmpty() ? name : name + QStringLiteral(" (") + device + QLatin1Char(')');
}

}  // namespace

CFormatDialog::CFormatDialog(QWidget* parent, const CardFormatFacts& facts, bool offerRecovery,
                             bool offerImport)
    : QDialog(parent) {
    setWindowTitle(TrPair(IDS_FORMAT_KO, IDS_FORMAT_EN));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    const bool card = facts.refusal == FormatRefusal::None;

    auto* heading = new QLabel(TrPair(IDS_CHECK_CARD_KO, IDS_CHECK_CARD_EN), this);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    m_summary = heading->text() + QLatin1Char('\n');

    m_rows = new QFormLayout;
    m_rows->setLabelAlignment(Qt::AlignLeft);
    m_rows->setHorizontalSpacing(16);
    if (card)
        AddCardRows(facts);
    else
        AddRow(TrPair(IDS_FOLDER_KO, IDS_FOLDER_EN), QString::fromStdString(facts.mountPoint));

    const bool system = facts.refusal == FormatRefusal::SystemDisk;
    m_warning = new QLabel(card     ? TrPair(IDS_ERASE_WARNING_KO, IDS_ERASE_WARNING_EN)
                           : system ? TrPair(IDS_SYSTEM_DISK_KO, IDS_SYSTEM_DISK_EN)
                                    : TrPair(IDS_NOT_REMOVABLE_KO, IDS_NOT_REMOVABLE_EN),
                           this);
    m_warning->setWordWrap(true);
    m_warning->setFont(bold);
    m_summary += m_warning->text();

    m_progressNote = new QLabel(TrPair(IDS_FORMATTING_KO, IDS_FORMATTING_EN), this);
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 0);  // UDisks2 reports no fraction done: a busy bar
    m_progress->setTextVisible(false);
    m_progressNote->hide();
    m_progress->hide();
    AddButtons(facts, offerRecovery, offerImport);
    AddEraseTick(facts);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(18, 16, 18, 14);
    column->setSpacing(12);
    column->addWidget(heading);
    column->addLayout(m_rows);
    column->addWidget(m_warning);
    if (m_eraseUnarchived) column->addWidget(m_eraseUnarchived);
    column->addWidget(m_progressNote);
    column->addWidget(m_progress);
    column->addWidget(m_buttons);
    ApplySkin(parent);
}

void CFormatDialog::AddCardRows(const CardFormatFacts& facts) {
    AddRow(TrPair(IDS_DEVICE_KO, IDS_DEVICE_EN), DeviceText(facts.volume));
    AddRow(TrPair(IDS_LABEL_KO, IDS_LABEL_EN),
           Or(facts.volume.label, IDS_NO_LABEL_KO, IDS_NO_LABEL_EN));
    AddRow(TrPair(IDS_CAPACITY_KO, IDS_CAPACITY_EN), facts.volume.sizeBytes
                                                         ? SizeText(facts.volume.sizeBytes)
                                                         : TrPair(IDS_UNKNOWN_KO, IDS_UNKNOWN_EN));
    AddRow(TrPair(IDS_FS_NOW_KO, IDS_FS_NOW_EN),
           Or(facts.volume.fileSystem, IDS_UNKNOWN_KO, IDS_UNKNOWN_EN));
    AddRow(TrPair(IDS_MOUNTED_AT_KO, IDS_MOUNTED_AT_EN), QString::fromStdString(facts.mountPoint));
    AddRow(TrPair(IDS_RECORDINGS_KO, IDS_RECORDINGS_EN),
           QString::fromStdString(FormatResourceString(
               PickStringId(IDS_RECORDING_COUNT_KO, IDS_RECORDING_COUNT_EN), facts.recordings,
               SizeText(facts.recordingBytes).toUtf8().constData())));
    if (facts.recoverableDeleted >= 0)
        AddRow(TrPair(IDS_DELETED_KO, IDS_DELETED_EN),
               facts.recoverableDeleted == 0
                   ? TrPair(IDS_DELETED_NONE_KO, IDS_DELETED_NONE_EN)
                   : QString::fromStdString(FormatResourceString(
                         PickStringId(IDS_DELETED_COUNT_KO, IDS_DELETED_COUNT_EN),
                         facts.recoverableDeleted)));
    AddArchiveRow(facts);
    AddRow(TrPair(IDS_FS_AFTER_KO, IDS_FS_AFTER_EN), QString::fromLatin1(kCardFileSystemName));
}

void CFormatDialog::AddArchiveRow(const CardFormatFacts& facts) {
    const QString name = TrPair(IDS_UNARCHIVED_KO, IDS_UNARCHIVED_EN);
    if (!facts.archiveError.empty()) {
        AddRow(name, QString::fromStdString(FormatResourceString(
                         PickStringId(IDS_ARCHIVE_UNREADABLE_KO, IDS_ARCHIVE_UNREADABLE_EN),
                         facts.archiveError.c_str())));
        return;
    }
    if (facts.unarchived < 0) return;
    if (facts.unarchived == 0) {
        AddRow(name, TrPair(IDS_UNARCHIVED_NONE_KO, IDS_UNARCHIVED_NONE_EN));
        return;
    }
    QStringList groups;
    for (const CardFormatFacts::Unarchived& group : facts.unarchivedByCategory)
        groups << QStringLiteral("%1 %2, %3")
                      .arg(QString::fromStdString(group.category))
                      .arg(group.count)
                      .arg(SizeText(group.bytes));
    AddRow(name, QString::fromStdString(FormatResourceString(
                     PickStringId(IDS_UNARCHIVED_COUNT_KO, IDS_UNARCHIVED_COUNT_EN),
                     facts.unarchived, SizeText(facts.unarchivedBytes).toUtf8().constData(),
                     groups.join(QStringLiteral("; ")).toUtf8().constData())));
}

void CFormatDialog::AddEraseTick(const CardFormatFacts& facts) {
    if (!m_start || facts.unarchived <= 0) return;
    m_eraseUnarchived = new QCheckBox(
        QString::fromStdString(FormatResourceString(
            PickStringId(IDS_ERASE_UNARCHIVED_KO, IDS_ERASE_UNARCHIVED_EN), facts.unarchived)),
        this);
    m_summary += QLatin1Char('\n') + m_eraseUnarchived->text();
    m_start->setEnabled(false);
    connect(m_eraseUnarchived, &QCheckBox::toggled, m_start, &QPushButton::setEnabled);
}

void CFormatDialog::accept() {
    if (m_eraseUnarchived && !m_eraseUnarchived->isChecked()) return;
    QDialog::accept();
}

void CFormatDialog::AddButtons(const CardFormatFacts& facts, bool offerRecovery, bool offerImport) {
    m_buttons = new QDialogButtonBox(this);
    const bool card = facts.refusal == FormatRefusal::None;
    if (card && offerImport && facts.unarchived > 0) {
        m_import = m_buttons->addButton(TrPair(IDS_IMPORT_FIRST_KO, IDS_IMPORT_FIRST_EN),
                                        QDialogButtonBox::ActionRole);
        connect(m_import, &QPushButton::clicked, this, [this] { done(kImportFirst); });
    }
    if (card && offerRecovery && facts.recoverableDeleted > 0) {
        m_recover = m_buttons->addButton(TrPair(IDS_RECOVER_FIRST_KO, IDS_RECOVER_FIRST_EN),
                                         QDialogButtonBox::ActionRole);
        connect(m_recover, &QPushButton::clicked, this, [this] { done(kRecoverFirst); });
    }
    if (card)
        m_start =
            m_buttons->addButton(TrPair(IDS_START_KO, IDS_START_EN), QDialogButtonBox::AcceptRole);
    m_cancel = m_buttons->addButton(
        card ? TrPair(IDS_CANCEL_KO, IDS_CANCEL_EN) : TrPair(IDS_CLOSE_KO, IDS_CLOSE_EN),
        QDialogButtonBox::RejectRole);
    for (QPushButton* button : {m_import, m_recover, m_start, m_cancel}) {
        if (!button) continue;
        button->setMinimumWidth(kButtonWidthPx);
        button->setAutoDefault(false);
    }
    m_cancel->setDefault(true);
    m_cancel->setFocus();
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void CFormatDialog::AddRow(const QString& name, const QString& value) {
    auto* valueLabel = new QLabel(value, this);
    valueLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    valueLabel->setMinimumWidth(kValueWidthPx);
    m_rows->addRow(new QLabel(name, this), valueLabel);
    m_summary += name + QLatin1Char(' ') + value + QLatin1Char('\n');
}

QString CFormatDialog::SummaryText() const {
    return m_summary;
}

void CFormatDialog::reject() {
    if (!m_running) QDialog::reject();
}

void CFormatDialog::closeEvent(QCloseEvent* event) {
    if (m_running) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void CFormatDialog::ShowRunning() {
    m_running = true;
    m_buttons->hide();
    m_progressNote->show();
    m_progress->show();
    setWindowFlag(Qt::WindowCloseButtonHint, false);
    setWindowModality(Qt::ApplicationModal);
    show();
}

QString CFormatDialog::SizeText(std::uint64_t bytes) {
    constexpr double kKiB = 1024.0, kMiB = kKiB * 1024, kGiB = kMiB * 1024;
    if (bytes >= kGiB) return QString::number(bytes / kGiB, 'f', 1) + QStringLiteral(" GB");
    if (bytes >= kMiB) return QString::number(bytes / kMiB, 'f', 1) + QStringLiteral(" MB");
    return QString::number((bytes + 1023) / 1024) + QStringLiteral(" KB");
}

void CFormatDialog::ApplySkin(QWidget* parent) {
    // The settings dialog's colours and style; a window does not inherit them by itself.
    if (parent) {
        setPalette(parent->palette());
        setStyle(parent->style());
        for (QWidget* child : findChildren<QWidget*>()) child->setStyle(parent->style());
    }
    QPalette accent = m_warning->palette();
    accent.setColor(QPalette::WindowText, palette().color(QPalette::Highlight));
    m_warning->setPalette(accent);
}
