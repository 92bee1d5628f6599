#include "app/CExportDlg.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

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
constexpr int kProgressMax = 100;
constexpr int kDialogWidth = 420;
constexpr int kWaitSliceMs = 10;

QString Text(int ko, int en) {
    return QString::fromStdString(FormatResourceString(PickStringId(ko, en)));
}

template <typename... Args>
QString Format(int ko, int en, Args... args) {
    return QString::fromStdString(FormatResourceString(PickStringId(ko, en), args...));
}

}  // namespace

CExportDlg::CExportDlg(QWidget* parent, ClipRequest request, std::string gpxPath)
    : QDialog(parent), m_request(std::move(request)) {
    m_request.gpxPath = std::move(gpxPath);
    setWindowTitle(Text(IDS_EXPORT_TITLE_KO, IDS_EXPORT_TITLE_EN));
    setMinimumWidth(kDialogWidth);
    auto* layout = new QVBoxLayout(this);
    m_pText = new QLabel(Text(IDS_EXPORTING_KO, IDS_EXPORTING_EN), this);
    m_pText->setWordWrap(true);
    m_pProgress = new QProgressBar(this);
    m_pProgress->setRange(0, kProgressMax);
    m_pProgress->setValue(0);
    m_pButton = new QPushButton(Text(IDS_CANCEL_KO, IDS_CANCEL_EN), this);
    layout->addWidget(m_pText);
    layout->addWidget(m_pProgress);
    layout->addWidget(m_pButton, 0, Qt::AlignRight);
    connect(m_pButton, &QPushButton::clicked, this, [this] {
        if (m_bFinished)
            accept();
        else
            Cancel();
    });
}

CExportDlg::~CExportDlg() {
    m_exporter.Cancel();
    if (m_worker.joinable()) m_worker.join();
}

void CExportDlg::Start() {
    if (m_worker.joinable() || m_bFinished) return;
    QPointer<CExportDlg> self(this);
    m_exporter.SetProgress([self](double fraction) {
        QMetaObject::invokeMethod(
            self,
            [self, fraction] {
                if (self) self->OnProgress(fraction);
            },
            Qt::QueuedConnection);
    });
    m_worker = std::thread([this, self] {
        ClipGpx gpx(m_request.paths);
        m_exporter.SetTextSink(gpx.Sink());
        m_exporter.SetGpxDocument([&gpx] { return gpx.Document(); });
        m_exporter.SetCreationTime([](const std::string& path, int64_t positionMs) {
            const std::optional<CreationTime> created = PictureCreationTime(path, positionMs);
            return created ? created->text : std::string();
        });
        ClipSummary summary;
        std::string error;
        const ClipResult result = m_exporter.Export(m_request, &summary, &error);
        QMetaObject::invokeMethod(
            self,
            [self, result, summary, error] {
                if (self) self->OnFinished(result, summary, error);
            },
            Qt::QueuedConnection);
    });
}

void CExportDlg::Cancel() {
    m_exporter.Cancel();
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

bool CExportDlg::WaitFinished(int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!m_bFinished && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, kWaitSliceMs);
    return m_bFinished;
}

int CExportDlg::ProgressPercent() const {
    return m_pProgress->value();
}

void CExportDlg::OnProgress(double fraction) {
    if (!m_bFinished) m_pProgress->setValue(static_cast<int>(fraction * kProgressMax + 0.5));
}

void CExportDlg::OnFinished(ClipResult result, ClipSummary summary, std::string error) {
    if (m_worker.joinable()) m_worker.join();
    m_bFinished = true;
    m_result = result;
    m_summary = summary;
    m_error = std::move(error);
    switch (result) {
        case ClipResult::Done:
            m_pProgress->setValue(kProgressMax);
            m_pText->setText(
                Format(IDS_EXPORT_DONE_KO, IDS_EXPORT_DONE_EN, m_request.outPath.c_str()));
            break;
        case ClipResult::Cancelled:
            m_pText->setText(Text(IDS_EXPORT_CANCELLED_KO, IDS_EXPORT_CANCELLED_EN));
            break;
        case ClipResult::Failed:
            m_pText->setText(Format(IDS_EXPORT_FAILED_KO, IDS_EXPORT_FAILED_EN, m_error.c_str()));
            break;
    }
    m_pButton->setText(Text(IDS_CLOSE_KO, IDS_CLOSE_EN));
    if (m_bCloseWhenFinished) QDialog::reject();
}
