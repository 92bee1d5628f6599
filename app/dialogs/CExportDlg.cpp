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
    auto* blur = new QCheckBox(Tr(texts::kBlurRegions), &dialog);
    blur->setObjectName(QStringLiteral("blurRegions"));
    blur->setChecked(choice.blur);
    blur->setVisible(!choice.masks.empty());
    return blur;
}

// Export, Cancel, and the evidence package of the same stretch (with the sound and position
// options chosen), which accepts the dialog with *packageChosen set.
QDialogButtonBox* MakeExportButtons(QDialog& dialog, bool* packageChosen) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(Tr(texts::kExport));
    buttons->button(QDialogButtonBox::Cancel)->setText(Tr(texts::kCancel));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QPushButton* package =
        buttons->addButton(Tr(texts::kEvidenceTitle), QDialogButtonBox::ActionRole);
    QObject::connect(package, &QPushButton::clicked, &dialog, [&dialog, packageChosen] {
        *packageChosen = true;
        dialog.accept();
    });
    return buttons;
}

}  // namespace

bool CExportDlg::ChooseOptions(QWidget* parent, Choice* choice) {
    QDialog dialog(parent);
    dialog.setWindowTitle(Tr(texts::kExportTitle));
    auto* form = new QFormLayout(&dialog);
    auto* tier = new QComboBox(&dialog);
    tier->setObjectName(QStringLiteral("tier"));
    tier->addItem(Tr(texts::kExportPip));
    tier->addItem(Tr(texts::kExportLossless));
    tier->addItem(Tr(texts::kExportSide));
    tier->setCurrentIndex(TierIndex(choice->compose));
    // What the chosen kind of clip is for.
    auto* hint = new QLabel(&dialog);
    hint->setObjectName(QStringLiteral("tierHint"));
    hint->setWordWrap(true);
    auto* noSound = new QCheckBox(Tr(texts::kExportNoSound), &dialog);
    noSound->setChecked(choice->noSound);
    auto* noPosition = new QCheckBox(Tr(texts::kExportNoPosition), &dialog);
    noPosition->setChecked(choice->noPosition);
    auto* mph = new QCheckBox(Tr(texts::kExportMph), &dialog);
    mph->setChecked(choice->mph);
    QCheckBox* blur = MakeBlurTick(dialog, *choice);
    // Only the composed picture shows a speed, and only it can be blurred: the lossless
    // clip copies the recording's packets.
    const auto composed = [tier, mph, hint, blur] {
        const bool lossless =
            kTiers[std::clamp(tier->currentIndex(), 0, kTierCount - 1)] == ClipCompose::None;
        mph->setEnabled(!lossless);
        blur->setEnabled(!lossless);
        hint->setText(lossless ? Tr(texts::kExportLosslessHint) : Tr(texts::kExportPipHint));
    };
    composed();
    connect(tier, &QComboBox::currentIndexChanged, &dialog, composed);
    bool packageChosen = false;
    QDialogButtonBox* buttons = MakeExportButtons(dialog, &packageChosen);
    form->addRow(Tr(texts::kExportTier), tier);
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
    setWindowTitle(Tr(texts::kExportTitle));
    setMinimumWidth(kDialogWidth);
    const JobDialogParts parts = MakeJobDialogParts(*this, Tr(texts::kExporting));
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
            ShowJobDialogText(*this, m_pText, Tr(texts::kExportDone, m_request.outPath.c_str()));
            m_pOpenFolder->show();
            break;
        case ClipResult::Cancelled:
            ShowJobDialogText(*this, m_pText, Tr(texts::kExportCancelled));
            break;
        case ClipResult::Failed:
            ShowJobDialogText(*this, m_pText, Tr(texts::kExportFailed, m_error.c_str()));
            break;
    }
    m_pButton->setText(Tr(texts::kClose));
    if (m_bCloseWhenFinished) QDialog::reject();
}
