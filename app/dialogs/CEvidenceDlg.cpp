#include "app/dialogs/CEvidenceDlg.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "app/dialogs/JobDialogParts.h"
#include "evidence/QtEvidenceReport.h"
#include "redact/RecordingShape.h"
#include "support/QtText.h"
#include "support/StringTable.h"
#include "telemetry/CameraClock.h"

namespace {

constexpr int64_t kMsPerSecond = 1000;
constexpr int kDialogWidth = 440;
// Numbered alternatives tried when the proposed folder is taken.
constexpr int kProposalAttempts = 100;

// The library's steps and their texts.
constexpr struct {
    const char* step;
    TextId text;
} kSteps[] = {
    {"copying the originals", texts::kStepCopyingOriginals},
    {"writing the lossless clip", texts::kStepWritingLosslessClip},
    {"writing the composed clip", texts::kStepWritingComposedClip},
    {"taking the stills", texts::kStepTakingStills},
    {"comparing the clip with the originals", texts::kStepComparingClip},
    {"writing the report", texts::kStepWritingReport},
    {"writing the manifest", texts::kStepWritingManifest},
};

}  // namespace

QString CEvidenceDlg::ProposedFolder(const std::vector<std::string>& inputs,
                                     const TripTimeline& timeline, int64_t fromMs) {
    if (inputs.empty()) return QDir::homePath();
    const TripTimeline::Place at = timeline.At(fromMs);
    const size_t index = std::min(at.index, inputs.size() - 1);
    std::string stem = inputs[index].substr(inputs[index].find_last_of('/') + 1);
    stem = stem.substr(0, stem.find_last_of('.'));
    // Never before the start of the recording holding the moment.
    if (const std::optional<int64_t> ms =
            timeline.ClockMsAt(fromMs - std::min<int64_t>(at.offsetMs, 0)))
        stem = FormatClockStem(*ms / 1000);
    const QString base = QDir::home().filePath(QString::fromStdString(stem + "_evidence"));
    QString path = base;
    for (int n = 2; n <= kProposalAttempts && QFileInfo::exists(path); ++n)
        path = base + "-" + QString::number(n);
    return path;
}

QString CEvidenceDlg::Title() {
    return Tr(texts::kEvidenceTitle);
}

QString CEvidenceDlg::StepText(const std::string& step) {
    for (const auto& s : kSteps)
        if (step == s.step) return Tr(s.text);
    return QString::fromStdString(step);
}

CEvidenceDlg::CEvidenceDlg(QWidget* parent, PackageRequest request)
    : QDialog(parent), m_request(std::move(request)) {
    m_request.language = IsKoreanUi() ? "ko" : "en";
    m_request.program = "tarvex-viewer";
    setWindowTitle(Title());
    setMinimumWidth(kDialogWidth);
    const JobDialogParts parts = MakeJobDialogParts(*this, Tr(texts::kEvidenceWriting));
    m_pText = parts.text;
    m_pProgress = parts.progress;
    m_pButton = parts.button;
    m_pOpenFolder = parts.openFolder;
    connect(m_pOpenFolder, &QPushButton::clicked, this, [this] {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(m_request.outDir)));
    });
    connect(m_pButton, &QPushButton::clicked, this, [this] {
        if (m_bFinished)
            accept();
        else
            Cancel();
    });
}

CEvidenceDlg::~CEvidenceDlg() {
    // The job ends on its own, into a dropped result; its temporary folder goes with it.
    Cancel();
}

void CEvidenceDlg::Start() {
    if (m_bStarted || m_bFinished) return;
    m_bStarted = true;
    connect(&m_job, &BackgroundJob::progress, this, [this](double fraction) {
        if (!m_bFinished)
            m_pProgress->setValue(static_cast<int>(fraction * JobDialogParts::kMax + 0.5));
    });
    m_job.Start([this, request = m_request, cancelled = m_cancelled,
                 masksPath = m_masksPath](JobContext& job) mutable {
        request.cancel = cancelled.get();
        request.fraction = [job](double fraction) { job.Progress(fraction); };
        request.progress = [this, job](const std::string& step) {
            job.Post([this, text = StepText(step)] {
                if (!m_bFinished) m_pText->setText(text);
            });
        };
        PackageResult result;
        std::string error;
        // Asked to blur, the package is written blurred or not at all.
        MaskSet masks;
        const bool masked =
            masksPath.empty() || (request.paths.size() == 1 &&
                                  LoadMaskSetFor(request.paths[0], masksPath, &masks, &error));
        if (!masksPath.empty()) request.redact = &masks;
        const bool written = masked && WritePackage(request, WriteEvidenceReport, &result, &error);
        job.Post([this, written, error] { OnFinished(written, error); });
    });
}

void CEvidenceDlg::Cancel() {
    m_cancelled->store(true);
}

void CEvidenceDlg::reject() {
    // Escape, the close box or the viewer quitting: stop and close once the job has ended
    // (its temporary folder gone).
    if (m_bStarted && !m_bFinished) {
        m_bCloseWhenFinished = true;
        Cancel();
        return;
    }
    QDialog::reject();
}

QString CEvidenceDlg::StatusText() const {
    return m_pText->text();
}

int CEvidenceDlg::ProgressPercent() const {
    return m_pProgress->value();
}

void CEvidenceDlg::OnFinished(bool succeeded, const std::string& error) {
    m_bFinished = true;
    m_bSucceeded = succeeded;
    m_error = error;
    if (succeeded) {
        m_pProgress->setValue(JobDialogParts::kMax);
        ShowJobDialogText(*this, m_pText, Tr(texts::kEvidenceDone, m_request.outDir));
        m_pOpenFolder->show();
    } else if (m_cancelled->load()) {
        ShowJobDialogText(*this, m_pText, Tr(texts::kEvidenceCancelled));
    } else {
        ShowJobDialogText(*this, m_pText, Tr(texts::kEvidenceFailed, error));
    }
    m_pButton->setText(Tr(texts::kClose));
    emit finished(succeeded);
    if (m_bCloseWhenFinished) QDialog::reject();
}

bool CEvidenceDlg::AskStretch(QWidget* parent, int64_t atMs, int64_t lengthMs, int64_t* fromMs,
                              int64_t* toMs, bool* blur) {
    QDialog dialog(parent);
    dialog.setWindowTitle(Title());
    auto* layout = new QVBoxLayout(&dialog);
    auto* note = new QLabel(Tr(texts::kStretch), &dialog);
    note->setWordWrap(true);
    layout->addWidget(note);
    auto* form = new QFormLayout;
    auto* before = new QSpinBox(&dialog);
    auto* after = new QSpinBox(&dialog);
    // Whole seconds, as far as the timeline reaches on either side of the picture.
    before->setRange(0, static_cast<int>(atMs / kMsPerSecond));
    before->setValue(static_cast<int>((atMs - *fromMs) / kMsPerSecond));
    after->setRange(1, static_cast<int>(std::max<int64_t>(1, (lengthMs - atMs) / kMsPerSecond)));
    after->setValue(static_cast<int>(std::max<int64_t>(1, (*toMs - atMs) / kMsPerSecond)));
    form->addRow(Tr(texts::kBefore), before);
    form->addRow(Tr(texts::kAfter), after);
    layout->addLayout(form);
    auto* blurBox = new QCheckBox(Tr(texts::kBlurRegions), &dialog);
    blurBox->setObjectName(QStringLiteral("blurRegions"));
    blurBox->setChecked(blur && *blur);
    blurBox->setVisible(blur != nullptr);
    layout->addWidget(blurBox);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted) return false;
    *fromMs = std::max<int64_t>(0, atMs - before->value() * kMsPerSecond);
    *toMs = std::min(lengthMs, atMs + after->value() * kMsPerSecond);
    if (blur) *blur = blurBox->isChecked();
    return true;
}
