// Making the controls and what clicks on the pictures do.
#include "app/list/RecordingListView.h"
#include "app/view/QtVideoArea.h"
#include "app/view/QtVideoClickFilter.h"
#include "app/window/CSamplePlayerDlg.h"

void CSamplePlayerDlg::CreateControls() {
    m_layout =
        std::make_unique<WindowLayout>(*this, m_playback, [this] { return IsPlayerActive(); });
    MainWindowControls& ui = Controls();
    // A click on a picture pauses or resumes, a double click enters or leaves full screen.
    auto* clicks = new QtVideoClickFilter(this);
    clicks->Watch(ui.front);
    clicks->Watch(ui.rear);
    connect(clicks, &QtVideoClickFilter::clicked, this, [this] {
        if (IsPlayerActive())
            m_playback.State() != PlaybackState::Playing ? OnBnClickedButtonPlay()
                                                         : OnBnClickedButtonPause();
    });
    connect(clicks, &QtVideoClickFilter::doubleClicked, this,
            [this] { m_layout->ToggleFullScreen(); });

    ui.AdoptList(new RecordingListView(this));
    // A recording found cut short while it plays says so at once.
    connect(List(), &RecordingListView::endsEarly, this,
            [this](const QString& path, const QString& note) {
                if (path.toStdString() == CurrentPath()) m_dialogs->ShowNote(note, true);
            });
    CreateNavigator();
    setMouseTracking(true);  // the resize cursor over the right and bottom edges
    CreateActions();
}
