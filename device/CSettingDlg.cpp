#include "device/CSettingDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include "app/jobs/BackgroundJob.h"
#include "device/CFormatDialog.h"
#include "device/CardFormat.h"
#include "device/CardFormatFacts.h"
#include "device/QtUDisks2Formatter.h"
#include "library/CardRoot.h"
#include "support/ProgramVersion.h"
#include "support/QtText.h"
#include "support/RegularFile.h"
#include "support/StringTable.h"
#include "support/Trace.h"

namespace {

// The skin's quiet text and its accent, for a total that is right and one that is not.
const QColor kTotalRight(132, 141, 152);
const QColor kTotalWrong(245, 165, 36);

CSettingDlg::MessageBoxHook& GlobalHook() {
    static CSettingDlg::MessageBoxHook hook;
    return hook;
}

std::function<std::tm()>& TimeSource() {
    static std::function<std::tm()> source;
    return source;
}

std::tm LocalNow() {
    if (TimeSource()) return TimeSource()();
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

// A combo box's index as the model keeps it (-1 is no selection in both).
void Select(QComboBox* combo, int index) {
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

}  // namespace

CSettingDlg::CSettingDlg(QWidget* parent, std::string configPath, std::string drivePath,
                         VCardFormatter* formatter)
    : QDialog(parent),
      m_strConfigPath(std::move(configPath)),
      m_strDrivePath(std::move(drivePath)),
      m_pFormatter(formatter) {
    BuildControls();
    LayOutControls();
    ApplySkin();
    OnInitDialog();
}

CSettingDlg::~CSettingDlg() = default;

bool CSettingDlg::CanOpen(const std::string& configPath) {
    return IsReadableRegularFile(configPath);
}

void CSettingDlg::SetMessageBoxHook(MessageBoxHook hook) {
    GlobalHook() = std::move(hook);
}

int CSettingDlg::DoModal() {
    return exec();
}

QWidget* CSettingDlg::GetDlgItem(int id) const {
    auto it = m_items.find(id);
    return it == m_items.end() ? nullptr : it->second;
}
QComboBox* CSettingDlg::Combo(int id) const {
    return qobject_cast<QComboBox*>(GetDlgItem(id));
}
QSlider* CSettingDlg::Slider(int id) const {
    return qobject_cast<QSlider*>(GetDlgItem(id));
}
QCheckBox* CSettingDlg::Check(int id) const {
    return qobject_cast<QCheckBox*>(GetDlgItem(id));
}
QLabel* CSettingDlg::Label(int id) const {
    return qobject_cast<QLabel*>(GetDlgItem(id));
}
QPushButton* CSettingDlg::Button(int id) const {
    return qobject_cast<QPushButton*>(GetDlgItem(id));
}

void CSettingDlg::OnInitDialog() {
    SetTexts();
    Label(IDC_STATIC_VIEWER_VERSION)->setText(QString::fromLatin1(kProgramVersion));
    Label(IDC_STATIC_FW_VERSION)->setText(QString());
    for (int id : {IDC_SLIDER_MIC, IDC_SLIDER_SPEAKER, IDC_SLIDER_MOTION, IDC_SLIDER_GSENSOR})
        Slider(id)->setRange(1, 5);
    for (int id : {IDC_SLIDER_BRIGHTNESS, IDC_SLIDER_CONTRAST}) Slider(id)->setRange(0, 10);
    LoadBlackboxConfig();
}

void CSettingDlg::LoadBlackboxConfig() {
    DeviceSettings s;
    if (!LoadDeviceSettings(m_strConfigPath, s))
        Trace("LoadBlackboxConfig: cannot read %s\n", m_strConfigPath.c_str());
    const std::tm now = LocalNow();
    PresetClock(s, now);
    // A year the list cannot show is left unchosen rather than shown as the list's first
    // one: a clock request then asks for a choice instead of setting the device years back.
    const int yearIndex = now.tm_year + 1900 - kFirstClockYear;
    if (yearIndex < 0 || yearIndex >= static_cast<int>(YearEntries().size()))
        s.yearIndex = kNoSelection;
    ShowSettings(s);
}

void CSettingDlg::ShowSettings(const DeviceSettings& s) {
    Select(Combo(IDC_COMBO_CONST), s.constIndex);
    Select(Combo(IDC_COMBO_EVENT), s.eventIndex);
    Select(Combo(IDC_COMBO_MANUAL), s.manualIndex);
    Select(Combo(IDC_COMBO_PARK), s.parkIndex);

    Check(IDC_CHECK_VOLTAGE)->setChecked(s.voltageChecked);
    Select(Combo(IDC_COMBO_VOLTAGE), s.voltageIndex);
    Combo(IDC_COMBO_VOLTAGE)->setEnabled(s.voltageChecked);

    Slider(IDC_SLIDER_SPEAKER)->setValue(s.voiceVolume);
    Slider(IDC_SLIDER_MIC)->setValue(s.micVolume);
    Check(IDC_CHECK_MIC)->setChecked(s.micChecked);
    Slider(IDC_SLIDER_MIC)->setEnabled(s.micChecked);
    Check(IDC_CHECK_SPEAKER)->setChecked(s.voiceChecked);
    Slider(IDC_SLIDER_SPEAKER)->setEnabled(s.voiceChecked);
    Slider(IDC_SLIDER_MOTION)->setValue(s.motionLevel);
    Slider(IDC_SLIDER_GSENSOR)->setValue(s.accLevel);
    Slider(IDC_SLIDER_BRIGHTNESS)->setValue(s.brightness);
    Slider(IDC_SLIDER_CONTRAST)->setValue(s.contrast);

    const int clock[] = {s.yearIndex, s.monthIndex,  s.dayIndex,
                         s.hourIndex, s.minuteIndex, s.secondIndex};
    const int clockIds[] = {IDC_COMBO_YEAR, IDC_COMBO_MONTH, IDC_COMBO_DAY,
                            IDC_COMBO_HOUR, IDC_COMBO_MIN,   IDC_COMBO_SEC};
    for (int i = 0; i < 6; ++i) {
        Select(Combo(clockIds[i]), clock[i]);
        Combo(clockIds[i])->setEnabled(false);
    }
    Check(IDC_CHECK_TIMESYNC)->setChecked(false);

    UpdateStorageTotal();
    m_strFirmwareVersion = s.version;
    Label(IDC_STATIC_FW_VERSION)->setText(QString::fromLocal8Bit(s.version.c_str()));
    Label(IDC_STATIC_MODEL)->setText(QString::fromLocal8Bit(s.model.c_str()));
}

DeviceSettings CSettingDlg::ReadControls() const {
    DeviceSettings s;
    s.constIndex = Combo(IDC_COMBO_CONST)->currentIndex();
    s.parkIndex = Combo(IDC_COMBO_PARK)->currentIndex();
    s.eventIndex = Combo(IDC_COMBO_EVENT)->currentIndex();
    s.manualIndex = Combo(IDC_COMBO_MANUAL)->currentIndex();
    s.voltageChecked = Check(IDC_CHECK_VOLTAGE)->isChecked();
    s.voltageIndex = Combo(IDC_COMBO_VOLTAGE)->currentIndex();
    s.micChecked = Check(IDC_CHECK_MIC)->isChecked();
    s.micVolume = Slider(IDC_SLIDER_MIC)->value();
    s.voiceChecked = Check(IDC_CHECK_SPEAKER)->isChecked();
    s.voiceVolume = Slider(IDC_SLIDER_SPEAKER)->value();
    s.accLevel = Slider(IDC_SLIDER_GSENSOR)->value();
    s.motionLevel = Slider(IDC_SLIDER_MOTION)->value();
    s.brightness = Slider(IDC_SLIDER_BRIGHTNESS)->value();
    s.contrast = Slider(IDC_SLIDER_CONTRAST)->value();
    s.timeSyncChecked = Check(IDC_CHECK_TIMESYNC)->isChecked();
    s.yearIndex = Combo(IDC_COMBO_YEAR)->currentIndex();
    s.monthIndex = Combo(IDC_COMBO_MONTH)->currentIndex();
    s.dayIndex = Combo(IDC_COMBO_DAY)->currentIndex();
    s.hourIndex = Combo(IDC_COMBO_HOUR)->currentIndex();
    s.minuteIndex = Combo(IDC_COMBO_MIN)->currentIndex();
    s.secondIndex = Combo(IDC_COMBO_SEC)->currentIndex();
    return s;
}

DeviceSaveStatus CSettingDlg::SaveBlackboxConfig() {
    return SaveDeviceSettings(m_strConfigPath, ReadControls());
}

void CSettingDlg::OnBnClickedButtonSave() {
    const DeviceSaveStatus status = SaveBlackboxConfig();
    if (status == DeviceSaveStatus::Saved) {
        done(QDialog::Accepted);
        return;
    }
    // Nothing was written; the dialog stays open with the user's choices.
    const int shares[] = {IDC_COMBO_CONST, IDC_COMBO_EVENT, IDC_COMBO_MANUAL, IDC_COMBO_PARK};
    bool sharesChosen = true;
    for (int id : shares) sharesChosen = sharesChosen && Combo(id)->currentIndex() >= 0;
    QString text;
    if (status == DeviceSaveStatus::CapacityNot95 || !sharesChosen)
        text = Tr(texts::kCapacitySum);
    else if (status == DeviceSaveStatus::NoSelection)
        text = Tr(texts::kChooseValue);
    else
        text = Tr(texts::kWriteFailed);
    ShowMessageBox(text, Tr(texts::kConfigError), QMessageBox::Ok);
}

void CSettingDlg::OnBnClickedButtonFormat() {
    if (FormatRunning()) return;
    const QString caption = Tr(texts::kFormat);
    if (ShowMessageBox(Tr(texts::kFormatAsk), caption, QMessageBox::Yes | QMessageBox::No) !=
        QMessageBox::Yes)
        return;
    if (!m_pFormatter) {
        m_ownFormatter = std::make_shared<QtUDisks2Formatter>();
        m_pFormatter = m_ownFormatter.get();
    }
    // The look at the card may take a while (the system's disk service, a card full of
    // recordings): it is gathered off this thread, and the button waits for it meanwhile.
    if (!m_formatJob) m_formatJob = new BackgroundJob(this);
    m_bCheckingCard = true;
    if (QWidget* button = GetDlgItem(IDC_BUTTON_FORMAT)) button->setEnabled(false);
    setCursor(Qt::BusyCursor);
    const std::string drive = m_strDrivePath;
    std::shared_ptr<VCardFormatter> own = m_ownFormatter;
    VCardFormatter* formatter = m_pFormatter;
    std::function<void(CardFormatFacts&)> archiveCheck = m_fnArchiveCheck;
    m_formatJob->Start([this, drive, own, formatter, archiveCheck](JobContext& job) {
        CardFormatFacts facts = GatherCardFormatFacts(drive, *formatter);
        if (archiveCheck && facts.refusal == FormatRefusal::None && !job.IsCancelled())
            archiveCheck(facts);
        job.Post([this, facts] { ConfirmFormat(facts); });
    });
}

void CSettingDlg::done(int result) {
    // Closed while the card is looked at: nothing more is asked.
    if (m_bCheckingCard) {
        m_formatJob->Cancel();
        EndCardCheck();
    }
    QDialog::done(result);
}

void CSettingDlg::EndCardCheck() {
    m_bCheckingCard = false;
    if (QWidget* button = GetDlgItem(IDC_BUTTON_FORMAT)) button->setEnabled(true);
    unsetCursor();
}

void CSettingDlg::ConfirmFormat(CardFormatFacts facts) {
    EndCardCheck();
    auto confirm = std::make_unique<CFormatDialog>(this, facts, static_cast<bool>(m_fnRecoverFirst),
                                                   static_cast<bool>(m_fnImportFirst));
    const bool confirmed = ExecFormatDialog(*confirm);
    if (confirm->result() == CFormatDialog::kRecoverFirst && m_fnRecoverFirst)
        m_fnRecoverFirst(m_strDrivePath);
    if (confirm->result() == CFormatDialog::kImportFirst && m_fnImportFirst)
        m_fnImportFirst(m_strDrivePath);
    // Whatever the answer, a folder that is no card is never formatted.
    if (!confirmed || facts.refusal != FormatRefusal::None) return;
    m_bCardChanged = 1;
    if (m_fnBeforeFormat) m_fnBeforeFormat();
    // The format may take a while and prompts for authorisation: the running dialog is
    // application-modal, so nothing else takes input meanwhile, while the window stays alive.
    // (Disabling this dialog would grey out that one too, as a child window.)
    m_formatRun = std::move(confirm);
    m_formatRun->ShowRunning();
    StartFormat();
}

void CSettingDlg::StartFormat() {
    const std::string drive = m_strDrivePath;
    const std::string backupPath =
        m_strBackupPath.empty() ? NewFormatBackupPath() : m_strBackupPath;
    // The dialog's own formatter goes with the job; one given by the caller outlives both.
    std::shared_ptr<VCardFormatter> own = m_ownFormatter;
    VCardFormatter* formatter = m_pFormatter;
    std::function<void()> wait = m_fnWaitBeforeFormat;
    m_formatJob->Start([this, drive, backupPath, own, formatter, wait](JobContext& job) {
        if (wait) wait();
        const CardFormatReport report = FormatCardKeepingConfig(drive, backupPath, *formatter);
        job.Post([this, report] { FinishFormat(report); });
    });
}

void CSettingDlg::FinishFormat(const CardFormatReport& report) {
    m_formatRun.reset();
    m_lastFormat = report.status;
    if (report.drivePath != m_strDrivePath) {
        m_strDrivePath = report.drivePath;
        m_strConfigPath = CardConfigPath(CardRoot(m_strDrivePath));
    }
    ShowFormatResult(report);
}

bool CSettingDlg::ExecFormatDialog(CFormatDialog& dlg) {
    if (GlobalHook())
        return GlobalHook()(dlg.SummaryText(), dlg.windowTitle(),
                            QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    return dlg.exec() == QDialog::Accepted;
}

void CSettingDlg::ShowFormatResult(const CardFormatReport& report) {
    const QString caption = Tr(texts::kFormat);
    const std::string& kept = report.keptCopyPath;
    QString text;
    switch (report.status) {
        case CardFormatStatus::Formatted:
            text = Tr(texts::kFormatDone);
            break;
        case CardFormatStatus::Refused:
            text = Tr(texts::kNotACard);
            break;
        case CardFormatStatus::RestoreFailed:
        case CardFormatStatus::FormatFailed:
            if (!kept.empty()) {
                const bool formatted = report.status == CardFormatStatus::RestoreFailed;
                text = Tr(formatted ? texts::kCopyKept : texts::kFailedCopyKept, kept);
                break;
            }
            [[fallthrough]];
        default:
            text = Tr(texts::kFormatFailed);
            break;
    }
    ShowMessageBox(text, caption, QMessageBox::Ok);
}

void CSettingDlg::UpdateStorageTotal() {
    int total = 0;
    for (int id : {IDC_COMBO_CONST, IDC_COMBO_PARK, IDC_COMBO_EVENT, IDC_COMBO_MANUAL})
        total += std::max(0, CapacityPercent(Combo(id)->currentIndex()));
    QLabel* label = Label(IDC_STATIC_STORAGE_TOTAL);
    label->setText(Tr(texts::kStorageTotal, total));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText,
                     total == kCapacityTotalPercent ? kTotalRight : kTotalWrong);
    label->setPalette(palette);
}

void CSettingDlg::OnBnClickedCheckVoltage() {
    Combo(IDC_COMBO_VOLTAGE)->setEnabled(Check(IDC_CHECK_VOLTAGE)->isChecked());
}

void CSettingDlg::OnBnClickedCheckTimeSync() {
    const bool on = Check(IDC_CHECK_TIMESYNC)->isChecked();
    for (int id = IDC_COMBO_YEAR; id <= IDC_COMBO_SEC; ++id) Combo(id)->setEnabled(on);
}

void CSettingDlg::OnBnClickedCheckMic() {
    Slider(IDC_SLIDER_MIC)->setEnabled(Check(IDC_CHECK_MIC)->isChecked());
}

void CSettingDlg::OnBnClickedCheckSpeaker() {
    Slider(IDC_SLIDER_SPEAKER)->setEnabled(Check(IDC_CHECK_SPEAKER)->isChecked());
}

void CSettingDlg::SetLocalTimeSource(std::function<std::tm()> source) {
    TimeSource() = std::move(source);
}

QMessageBox::StandardButton CSettingDlg::ShowMessageBox(const QString& text, const QString& caption,
                                                        QMessageBox::StandardButtons buttons) {
    if (GlobalHook()) return GlobalHook()(text, caption, buttons);
    // The table's texts keep the "\r\n" line breaks of their first home; a label wants "\n".
    QString shown = text;
    shown.remove(QLatin1Char('\r'));
    QMessageBox box(QMessageBox::NoIcon, caption, shown, buttons, this);
    if (buttons & QMessageBox::No) box.setDefaultButton(QMessageBox::No);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void CSettingDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
            button->click();
            return;
        }
        done(QDialog::Rejected);
        return;
    }
    QDialog::keyPressEvent(event);
}
