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

constexpr int kButtonWidthPx = 110;
constexpr int kValueWidthPx = 300;

QString Or(const std::string& value, TextId missing) {
    return value.empty() ? Tr(missing) : QString::fromStdString(value);
}

// "SanDisk Extreme (/dev/sdb1)"; the device file alone when the drive is not named.
QString DeviceText(const CardVolumeFacts& volume) {
    QString name = QString::fromStdString(volume.vendor + " " + volume.model).trimmed();
    const QString device = QString::fromStdString(volume.device);
    if (name.isEmpty()) return device.isEmpty() ? Tr(texts::kUnknown) : device;
    return device.isEmpty() ? name : name + QStringLiteral(" (") + device + QLatin1Char(')');
}

}  // namespace

CFormatDialog::CFormatDialog(QWidget* parent, const CardFormatFacts& facts, bool offerRecovery,
                             bool offerImport)
    : QDialog(parent) {
    setWindowTitle(Tr(texts::kFormat));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    const bool card = facts.refusal == FormatRefusal::None;

    auto* heading = new QLabel(Tr(texts::kCheckCard), this);
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
        AddRow(Tr(texts::kFormatFolder), QString::fromStdString(facts.mountPoint));

    const bool system = facts.refusal == FormatRefusal::SystemDisk;
    m_warning = new QLabel(card     ? Tr(texts::kEraseWarning)
                           : system ? Tr(texts::kSystemDisk)
                                    : Tr(texts::kNotRemovable),
                           this);
    m_warning->setWordWrap(true);
    m_warning->setFont(bold);
    m_summary += m_warning->text();

    m_progressNote = new QLabel(Tr(texts::kFormatting), this);
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
    AddRow(Tr(texts::kDevice), DeviceText(facts.volume));
    AddRow(Tr(texts::kLabel), Or(facts.volume.label, texts::kNoLabel));
    AddRow(Tr(texts::kCapacity),
           facts.volume.sizeBytes ? SizeText(facts.volume.sizeBytes) : Tr(texts::kUnknown));
    AddRow(Tr(texts::kFsNow), Or(facts.volume.fileSystem, texts::kUnknown));
    AddRow(Tr(texts::kMountedAt), QString::fromStdString(facts.mountPoint));
    AddRow(Tr(texts::kRecordings), Tr(texts::kRecordingCount, facts.recordings,
                                      SizeText(facts.recordingBytes).toUtf8().constData()));
    if (facts.recoverableDeleted >= 0)
        AddRow(Tr(texts::kDeleted), facts.recoverableDeleted == 0
                                        ? Tr(texts::kDeletedNone)
                                        : Tr(texts::kDeletedCount, facts.recoverableDeleted));
    AddArchiveRow(facts);
    AddRow(Tr(texts::kFsAfter), QString::fromLatin1(kCardFileSystemName));
}

void CFormatDialog::AddArchiveRow(const CardFormatFacts& facts) {
    const QString name = Tr(texts::kUnarchived);
    if (!facts.archiveError.empty()) {
        AddRow(name, Tr(texts::kArchiveUnreadable, facts.archiveError.c_str()));
        return;
    }
    if (facts.unarchived < 0) return;
    if (facts.unarchived == 0) {
        AddRow(name, Tr(texts::kUnarchivedNone));
        return;
    }
    QStringList groups;
    for (const CardFormatFacts::Unarchived& group : facts.unarchivedByCategory)
        groups << QStringLiteral("%1 %2, %3")
                      .arg(QString::fromStdString(group.category))
                      .arg(group.count)
                      .arg(SizeText(group.bytes));
    AddRow(name, Tr(texts::kUnarchivedCount, facts.unarchived,
                    SizeText(facts.unarchivedBytes).toUtf8().constData(),
                    groups.join(QStringLiteral("; ")).toUtf8().constData()));
}

void CFormatDialog::AddEraseTick(const CardFormatFacts& facts) {
    if (!m_start || facts.unarchived <= 0) return;
    m_eraseUnarchived = new QCheckBox(Tr(texts::kEraseUnarchived, facts.unarchived), this);
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
        m_import = m_buttons->addButton(Tr(texts::kImportFirst), QDialogButtonBox::ActionRole);
        connect(m_import, &QPushButton::clicked, this, [this] { done(kImportFirst); });
    }
    if (card && offerRecovery && facts.recoverableDeleted > 0) {
        m_recover = m_buttons->addButton(Tr(texts::kRecoverFirst), QDialogButtonBox::ActionRole);
        connect(m_recover, &QPushButton::clicked, this, [this] { done(kRecoverFirst); });
    }
    if (card) m_start = m_buttons->addButton(Tr(texts::kStart), QDialogButtonBox::AcceptRole);
    m_cancel = m_buttons->addButton(card ? Tr(texts::kCancel) : Tr(texts::kClose),
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
