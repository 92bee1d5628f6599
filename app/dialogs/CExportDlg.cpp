#include "app/dialogs/CExportDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <algorithm>

#include "app/dialogs/JobDialogParts.h"
#include "redact/MaskPainter.h"
#include "redact/RecordingShape.h"
#include "support/QtText.h"
#include "support/StringTable.h"
#include "telemetry/CameraClock.h"
#include "telemetry/ClipGpx.h"

namespace {

constexpr int IDS_EXPORT_TITLE_KO = 630, IDS_EXPORT_TITLE_EN = 631;
constexpr int IDS_EXPORTING_KO = 636, IDS_EXPORTING_EN = 637;
constexpr int IDS_EXPORT_DONE_KO = 638, IDS_EXPORT_DONE_EN = 639;
constexpr int IDS_EXPORT_FAILED_KO = 640, IDS_EXPORT_FAILED_EN = 641;
constexpr int IDS_CANCEL_KO = 642, IDS_CANCEL_EN = 643;
constexpr int IDS_CLOSE_KO = 644, IDS_CLOSE_EN = 645;
constexpr int IDS_EXPORT_CANCELLED_KO = 646, IDS_EXPORT_CANCELLED_EN = 647;
constexpr int IDS_EXPORT_TIER_KO = 940, IDS_EXPORT_TIER_EN = 941;
constexpr int IDS_EXPORT_LOSSLESS_KO = 942, IDS_EXPORT_LOSSLESS_EN = 943;
constexpr int IDS_EXPORT_PIP_KO = 944, IDS_EXPORT_PIP_EN = 945;
constexpr int IDS_EXPORT_SIDE_KO = 946, IDS_EXPORT_SIDE_EN = 947;
constexpr int IDS_EXPORT_NO_SOUND_KO = 948, IDS_EXPORT_NO_SOUND_EN = 949;
constexpr int IDS_EXPORT_NO_POSITION_KO = 950, IDS_EXPORT_NO_POSITION_EN = 951;
constexpr int IDS_EXPORT_MPH_KO = 952, IDS_EXPORT_MPH_EN = 953;
constexpr int IDS_EXPORT_KO = 954, IDS_EXPORT_EN = 955;
constexpr int IDS_EVIDENCE_KO = 964, IDS_EVIDENCE_EN = 965;
constexpr int IDS_EXPORT_PIP_HINT_KO = 1480, IDS_EXPORT_PIP_HINT_EN = 1481;
constexpr int IDS_EXPORT_LOSSLESS_HINT_KO = 1482, IDS_EXPORT_LOSSLESS_HINT_EN = 1483;
constexpr int IDS_BLUR_REGIONS_KO = 2454, IDS_BLUR_REGIONS_EN = 2455;
// In the order offered: the composed picture first (every player shows both cameras), the
// lossless two-track copy second.
constexpr ClipCompose kTiers[] = {ClipCompose::PictureInPicture, ClipCompose::None,
                                  ClipCompose::SideBySide};
constexpr int kTierCount = 3;

int TierIndex(ClipCompose compose) {
    for (int i = 0; i < kTierCount; ++i)
        if (kTiers[i] == compose) return i;
    return 0;
}
constexpr int kDialogWidth = 420;

// "Blur the marked regions", offered where the clip's recording has regions to blur.
QCheckBox* MakeBlurTick(QDialog& dialog, const ClipExportChoice& choice) {
    auto* blur = new QCheckBox(TrPair(IDS_BLUR_REGIONS_KO, IDS_BLUR_REGIONS_EN), &dialog);
    blur->setObjectName(QStringLiteral("blurRegions"));
    blur->setChecked(choice.blur);
    blur->setVisible(!choice.masks.empty());
    return blur;
}

// Export, Cancel, and the evidence package of the same stretch (with the sound and position
// options chosen), which accepts the dialog with *packageChosen set.
QDialogButtonBox* MakeExportButtons(QDialog& dialog, bool* packageChosen) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(TrPair(IDS_EXPORT_KO, IDS_EXPORT_EN));
    buttons->button(QDialogButtonBox::Cancel)->setText(TrPair(IDS_CANCEL_KO, IDS_CANCEL_EN));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QPushButton* package =
        buttons->addButton(TrPair(IDS_EVIDENCE_KO, IDS_EVIDENCE_EN), QDialogButtonBox::ActionRole);
    QObject::connect(package, &QPushButton::clicked, &dialog, [&dialog, packageChosen] {
        *packageChosen = true;
        dialog.accept();
    });
    return buttons;
}

}  // namespace

bool CExportDlg::ChooseOptions(QWidget* parent, Choice* choice) {
    QDialog dialog(parent);
    dialog.setWindowTitle(TrPair(IDS_EXPORT_TITLE_KO, IDS_EXPORT_TITLE_EN));
    auto* form = new QFormLayout(&dialog);
    auto* tier = new QComboBox(&dialog);
    tier->setObjectName(QStringLiteral("tier"));
    tier->addItem(TrPair(IDS_EXPORT_PIP_KO, IDS_EXPORT_PIP_EN));
    tier->addItem(TrPair(IDS_EXPORT_LOSSLESS_KO, IDS_EXPORT_LOSSLESS_EN));
    tier->addItem(TrPair(IDS_EXPORT_SIDE_KO, IDS_EXPORT_SIDE_EN));
    tier->setCurrentIndex(TierIndex(choice->compose));
    // What the chosen kind of clip is for.
    auto* hint = new QLabel(&dialog);
    hint->setObjectName(QStringLiteral("tierHint"));
    hint->setWordWrap(true);
    auto* noSound = new QCheckBox(TrPair(IDS_EXPORT_NO_SOUND_KO, IDS_EXPORT_NO_SOUND_EN), &dialog);
    noSound->setChecked(choice->noSound);
    auto* noPosition =
        new QCheckBox(TrPair(IDS_EXPORT_NO_POSITION_KO, IDS_EXPORT_NO_POSITION_EN), &dialog);
    noPosition->setChecked(choice->noPosition);
    auto* mph = new QCheckBox(TrPair(IDS_EXPORT_MPH_KO, IDS_EXPORT_MPH_EN), &dialog);
    mph->setChecked(choice->mph);
    QCheckBox* blur = MakeBlurTick(dialog, *choice);
    // Only the composed picture shows a speed, and only it can be blurred: the lossless
    // clip copies the recording's packets.
    const auto composed = [tier, mph, hint, blur] {
        const bool lossless =
            kTiers[std::clamp(tier->currentIndex(), 0, kTierCount - 1)] == ClipCompose::None;
        mph->setEnabled(!lossless);
        blur->setEnabled(!lossless);
        hint->setText(lossless ? TrPair(IDS_EXPORT_LOSSLESS_HINT_KO, IDS_EXPORT_LOSSLESS_HINT_EN)
                               : TrPair(IDS_EXPORT_PIP_HINT_KO, IDS_EXPORT_PIP_HINT_EN));
    };
    composed();
    connect(tier, &QComboBox::currentIndexChanged, &dialog, composed);
    bool packageChosen = false;
    QDialogButtonBox* buttons = MakeExportButtons(dialog, &packageChosen);
    form->addRow(TrPair(IDS_EXPORT_TIER_KO, IDS_EXPORT_TIER_EN), tier);
    form->addRow(hint);
    form->addRow(noSound);
    form->addRow(noPosition);
    form->addRow(mph);
    if (!choice->masks.empty()) form->addRow(blur);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) return false;
    choice->compose = kTiers[std::clamp(tier->currentIndex(), 0, kTierCount - 1)];
    choice->noSound = noSound->isChecked();
    choice->noPosition = noPosition->isChecked();
    choice->mph = mph->isChecked();
    choice->blur = blur->isChecked();
    choice->evidencePackage = packageChosen;
    return true;
}

CExportDlg::CExportDlg(QWidget* parent, ClipRequest request, std::string gpxPath, Choice choice)
    : QDialog(parent), m_request(std::move(request)) {
    m_request.gpxPath = std::move(gpxPath);
    m_request.compose = choice.compose;
    m_request.noSound = choice.noSound;
    m_request.noPosition = choice.noPosition;
    m_captionOptions.mph = choice.mph;
    m_captionOptions.position = !choice.noPosition;
    m_captionOptions.unitsPerG = choice.unitsPerG;
    if (choice.blur && choice.compose != ClipCompose::None && m_request.paths.size() == 1)
        m_masksPath = choice.masks;
    setWindowTitle(TrPair(IDS_EXPORT_TITLE_KO, IDS_EXPORT_TITLE_EN));
    setMinimumWidth(kDialogWidth);
    const JobDialogParts parts =
        MakeJobDialogParts(*this, TrPair(IDS_EXPORTING_KO, IDS_EXPORTING_EN));
    m_pText = parts.text;
    m_pProgress = parts.progress;
    m_pButton = parts.button;
    m_pOpenFolder = parts.openFolder;
    connect(m_pOpenFolder, &QPushButton::clicked, this, [this] {
        const QString clip = QString::fromStdString(m_request.outPath);
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(clip).absolutePath()));
    });
    connect(m_pButton, &QPushButton::clicked, this, [this] {
        if (m_bFinished)
            accept();
        else
            Cancel();
    });
}

CExportDlg::~CExportDlg() {
    // The export ends on its own, into a dropped result; its temporary file goes with it.
    Cancel();
}

void CExportDlg::Start() {
    if (m_bStarted || m_bFinished) return;
    m_bStarted = true;
    connect(&m_job, &BackgroundJob::progress, this, &CExportDlg::OnProgress);
    // The job holds its own copies and the exporter, so it may outlive this dialog.
    m_job.Start([this, exporter = m_exporter, cancelled = m_cancelled, request = m_request,
                 captionOptions = m_captionOptions, masksPath = m_masksPath](JobContext& job) {
        // Export clears the exporter's cancel flag as it starts, so a cancel that came
        // before is applied again at the first progress step.
        ClipExporter* running = exporter.get();
        exporter->SetProgress([job, cancelled, running](double fraction) {
            if (cancelled->load()) running->Cancel();
            job.Progress(fraction);
        });
        ClipGpx gpx(request.paths);
        exporter->SetTextSink(gpx.Sink());
        exporter->SetGpxDocument([&gpx] { return gpx.Document(); });
        exporter->SetCreationTime([](const std::string& path, int64_t positionMs) {
            const std::optional<CreationTime> created = PictureCreationTime(path, positionMs);
            return created ? created->text : std::string();
        });
        ClipSummary summary;
        std::string error;
        // The caption's telemetry is read here, off the GUI thread, like the clip itself.
        ClipRequest composed = request;
        ClipCaption caption;
        ClipResult result = ClipResult::Failed;
        if (composed.compose != ClipCompose::None &&
            caption.Load(composed.paths, captionOptions, &error))
            composed.caption = [&caption](int64_t ms) { return caption.Text(ms); };
        // Asked to blur, the clip is written blurred or not at all.
        MaskSet masks;
        MaskPainter painter(masks);
        const bool masked =
            masksPath.empty() || LoadMaskSetFor(composed.paths[0], masksPath, &masks, &error);
        if (!masksPath.empty() && masked)
            composed.retouch = [&painter](int camera, int64_t frame, AVFrame* picture) {
                return painter.Paint(camera, frame, picture);
            };
        if (masked && (composed.compose == ClipCompose::None || composed.caption))
            result = exporter->Export(composed, &summary, &error);
        exporter->SetProgress(nullptr);
        exporter->SetTextSink(nullptr);
        exporter->SetGpxDocument(nullptr);
        exporter->SetCreationTime(nullptr);
        job.Post([this, result, summary, error] { OnFinished(result, summary, error); });
    });
}

void CExportDlg::Cancel() {
    m_cancelled->store(true);
    m_exporter->Cancel();
}

void CExportDlg::Abandon() {
    Cancel();
    m_job.Cancel();
    QDialog::done(QDialog::Rejected);
}

void CExportDlg::reject() {
    // Escape, the close box or the viewer quitting: stop the export and close once it has
    // ended (its temporaries gone), so that a quit never waits on a button.
    if (!m_bFinished) {
        m_bCloseWhenFinished = true;
        Cancel();
        return;
    }
    QDialog::reject();
}

int CExportDlg::ProgressPercent() const {
    return m_pProgress->value();
}

void CExportDlg::OnProgress(double fraction) {
    if (!m_bFinished)
        m_pProgress->setValue(static_cast<int>(fraction * JobDialogParts::kMax + 0.5));
}

void CExportDlg::OnFinished(ClipResult result, ClipSummary summary, std::string error) {
    m_bFinished = true;
    m_result = result;
    m_summary = summary;
    m_error = std::move(error);
    switch (result) {
        case ClipResult::Done:
            m_pProgress->setValue(JobDialogParts::kMax);
            ShowJobDialogText(
                *this, m_pText,
                TrPair(IDS_EXPORT_DONE_KO, IDS_EXPORT_DONE_EN, m_request.outPath.c_str()));
            m_pOpenFolder->show();
            break;
        case ClipResult::Cancelled:
            ShowJobDialogText(*this, m_pText,
                              TrPair(IDS_EXPORT_CANCELLED_KO, IDS_EXPORT_CANCELLED_EN));
            break;
        case ClipResult::Failed:
            ShowJobDialogText(*this, m_pText,
                              TrPair(IDS_EXPORT_FAILED_KO, IDS_EXPORT_FAILED_EN, m_error.c_str()));
            break;
    }
    m_pButton->setText(TrPair(IDS_CLOSE_KO, IDS_CLOSE_EN));
    if (m_bCloseWhenFinished) QDialog::reject();
}
