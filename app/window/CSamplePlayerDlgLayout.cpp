// Making the controls, what clicks on the pictures do and the note over them.
#include "app/list/RecordingListView.h"
#include "app/view/QtNoteLabel.h"
#include "app/view/QtVideoArea.h"
#include "app/view/QtVideoClickFilter.h"
#include "app/window/CSamplePlayerDlg.h"

void CSamplePlayerDlg::CreateControls() {
    m_ui = std::make_unique<MainWindowControls>(this);
    m_layout = std::make_unique<WindowLayout>(*this, *m_ui, m_playback,
                                              [this] { return IsPlayerActive(); });
    m_pFrontArea = m_ui->front;
    m_pRearArea = m_ui->rear;
    m_sliderPos = m_ui->position;
    m_sliderVolume = m_ui->volume;
    m_sliderBright = m_ui->bright;
    m_pCurTime = m_ui->curTime;
    m_pTotalTime = m_ui->totalTime;
    m_pSpeed = m_ui->speed;
    m_pGraph = m_ui->graph;
    // A click on a picture pauses or resumes, a double click enters or leaves full screen.
    m_pVideoClicks = new QtVideoClickFilter(this);
    m_pVideoClicks->Watch(m_pFrontArea);
    m_pVideoClicks->Watch(m_pRearArea);
    connect(m_pVideoClicks, &QtVideoClickFilter::clicked, this, [this] {
        if (IsPlayerActive()) IsPlayShown() ? OnBnClickedButtonPlay() : OnBnClickedButtonPause();
    });
    connect(m_pVideoClicks, &QtVideoClickFilter::doubleClicked, this,
            [this] { m_layout->ToggleFullScreen(); });

    m_listFilename = new RecordingListView(this);
    m_ui->AdoptList(m_listFilename);
    // A recording found cut short while it plays says so at once.
    connect(m_listFilename, &RecordingListView::endsEarly, this,
            [this](const QString& path, const QString& note) {
                if (path.toStdString() == m_strCurrentPath) ShowNote(note, true);
            });
    CreateNavigator();
    ConnectRecoveryCommands();
    setMouseTracking(true);  // the resize cursor over the right and bottom edges
    CreateActions();
}

void CSamplePlayerDlg::ShowNote(const QString& text, bool persistent) {
    if (!m_pNote) m_pNote = new QtNoteLabel(this);
    m_pNote->ShowNote(text, m_layout->NoteArea(), persistent);
}
