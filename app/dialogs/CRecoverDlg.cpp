#include "app/dialogs/CRecoverDlg.h"

#include <QBoxLayout>
#include <QDesktopServices>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>

#include "app/dialogs/JobDialogParts.h"
#include "recover/CardSource.h"
#include "support/QtText.h"
#include "support/StringTable.h"

namespace {

constexpr int kDialogWidth = 560;
constexpr int kListHeightPx = 220;
constexpr int kListPlace = 2;  // in the dialog's column: under the text and the bar

enum Column { kNameColumn, kStateColumn, kFramesColumn, kColumnCount };

}  // namespace

QString CRecoverDlg::Title() {
    return Tr(texts::kRecoverTitle);
}

QString CRecoverDlg::StateText(const FoundRecording& found) {
    if (found.state == FoundState::Unreadable) return Tr(texts::kRecoveredUnreadable);
    if (found.outputPath.empty()) return Tr(texts::kLeftOnCard);
    return found.state == FoundState::Whole ? Tr(texts::kWhole) : Tr(texts::kRecoveredCut);
}

CRecoverDlg::CRecoverDlg(QWidget* parent, SourceOpener opener, std::string outDir)
    : QDialog(parent), m_opener(std::move(opener)), m_outDir(std::move(outDir)) {
    setWindowTitle(Title());
    setMinimumWidth(kDialogWidth);
    const JobDialogParts parts = MakeJobDialogParts(*this, Tr(texts::kReading, 0));
    m_text = parts.text;
    m_progress = parts.progress;
    m_button = parts.button;
    m_openFolder = parts.openFolder;

    m_list = new QTreeWidget(this);
    m_list->setColumnCount(kColumnCount);
    m_list->setRootIsDecorated(false);
    m_list->setHeaderHidden(true);
    m_list->setMinimumHeight(kListHeightPx);
    m_list->header()->setSectionResizeMode(kNameColumn, QHeaderView::Stretch);
    m_list->header()->setStretchLastSection(false);
    auto* column = static_cast<QBoxLayout*>(layout());
    column->insertWidget(kListPlace, m_list);
    m_showInList = new QPushButton(Tr(texts::kShowInList), this);
    m_showInList->hide();
    if (auto* row = static_cast<QBoxLayout*>(column->itemAt(column->count() - 1)->layout()))
        row->insertWidget(1, m_showInList);

    connect(m_openFolder, &QPushButton::clicked, this, [this] {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(m_outDir)));
    });
    connect(m_showInList, &QPushButton::clicked, this, [this] {
        emit showInList(QString::fromStdString(m_outDir));
        accept();
    });
    connect(m_button, &QPushButton::clicked, this, [this] {
        if (m_finished)
            accept();
        else
            Cancel();
    });
}

CRecoverDlg::~CRecoverDlg() {
    Cancel();
}

void CRecoverDlg::Start() {
    if (m_started || m_finished) return;
    m_started = true;
    connect(&m_job, &BackgroundJob::progress, this, [this](double fraction) {
        if (m_finished) return;
        const int percent = static_cast<int>(fraction * JobDialogParts::kMax + 0.5);
        m_progress->setValue(percent);
        m_text->setText(Tr(texts::kReading, percent));
    });
    m_job.Start(
        [this, opener = m_opener, outDir = m_outDir, cancelled = m_cancelled](JobContext& job) {
            RecoverySummary summary;
            std::string error;
            CardSource source;
            bool ok = opener(source, &error);
            if (ok) {
                RecoveryOptions options;
                options.cancel = cancelled.get();
                options.progress = [job](uint64_t done, uint64_t total) {
                    job.Progress(total ? double(done) / double(total) : 1.0);
                };
                ok = RecoverCardFrom(
                    source, outDir, options,
                    [this, job](const FoundRecording& found) {
                        job.Post([this, found] { AddFound(found); });
                    },
                    &summary, &error);
            }
            job.Post([this, ok, summary, error] { OnFinished(ok, summary, error); });
        });
}

void CRecoverDlg::Cancel() {
    m_cancelled->store(true);
}

void CRecoverDlg::reject() {
    // Escape or the close box while the card is read: stop, and close once the scan ended.
    if (m_started && !m_finished) {
        m_closeWhenFinished = true;
        Cancel();
        return;
    }
    QDialog::reject();
}

QString CRecoverDlg::StatusText() const {
    return m_text->text();
}

void CRecoverDlg::AddFound(const FoundRecording& found) {
    auto* item = new QTreeWidgetItem(m_list);
    item->setText(kNameColumn, QString::fromStdString(found.name));
    item->setText(kStateColumn, StateText(found));
    item->setText(kFramesColumn, QString::number(found.frontFrames));
    const std::string where = found.outputPath.empty() ? found.cardPath : found.outputPath;
    item->setToolTip(kNameColumn, QString::fromStdString(where));
    for (int c = 0; c < kColumnCount; ++c) m_list->resizeColumnToContents(c);
    m_list->scrollToItem(item);
}

void CRecoverDlg::OnFinished(bool succeeded, const RecoverySummary& summary,
                             const std::string& error) {
    m_finished = true;
    m_succeeded = succeeded;
    m_summary = summary;
    QString text;
    if (!succeeded) {
        text = Tr(texts::kUnreadableCard, error.c_str());
    } else {
        text = Tr(texts::kRecoveredFound, int(summary.found), int(summary.written));
        if (summary.cancelled)
            text += QLatin1Char('\n') + Tr(texts::kCancelled);
        else
            m_progress->setValue(JobDialogParts::kMax);
        if (!summary.note.empty()) text += QLatin1Char('\n') + QString::fromStdString(summary.note);
    }
    ShowJobDialogText(*this, m_text, text);
    m_openFolder->setVisible(summary.written > 0);
    m_showInList->setVisible(summary.written > 0);
    m_button->setText(Tr(texts::kClose));
    emit finished(succeeded);
    if (m_closeWhenFinished) QDialog::reject();
}
