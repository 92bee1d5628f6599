// Set-up, the settings file, closing and the window's event plumbing.
#include "app/window/CSamplePlayerDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QTimer>

#include "app/archive/ArchiveCommands.h"
#include "app/dialogs/CExportDlg.h"
#include "app/dialogs/CZoomDlg.h"
#include "app/dialogs/DeviceSettingsCommand.h"
#include "app/dialogs/RecoveryCommands.h"
#include "app/list/RecordingListView.h"
#include "app/view/QtVideoArea.h"
#include "app/window/PlaybackView.h"
#include "app/window/Resource.h"
#include "controls/CBitmapSlider.h"
#include "res/SkinBitmaps.h"
#include "support/QtText.h"
#include "support/StringTable.h"
#include "support/Trace.h"
#include "telemetry/CGraphStatic.h"
#include "telemetry/CMapView.h"
#include "telemetry/TelemetryLogic.h"

CSamplePlayerDlg::CSamplePlayerDlg(QWidget* parent, WindowDialogs* dialogs)
    : QDialog(parent),
      // The caller's dialogs stay the caller's; the desktop's are the window's own.
      m_dialogs(dialogs ? std::shared_ptr<WindowDialogs>(dialogs, [](WindowDialogs*) {})
                        : std::make_shared<WindowDialogs>()),
      m_settings(new ViewerSettings(this)),
      m_view(std::make_unique<PlaybackView>(*this, m_playback, *m_dialogs)) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowIcon(LoadSkinIcon(IDI_MAINFRAME));
    setAcceptDrops(true);  // a card folder or a recording dropped on the window opens
    OnInitDialog();
}

CSamplePlayerDlg::~CSamplePlayerDlg() {
    OnDestroy();
}

bool CSamplePlayerDlg::OnInitDialog() {
    // Before anything reads the settings (the map view reads its tile keys while the controls
    // are made).
    ViewerSettings::ImportLegacy();
    InitUiLanguage();
    SetSkinKorean(IsKoreanUi());
    setWindowTitle(Tr(texts::kTitle));
    CreateControls();
    m_dialogs->Attach(*this, *m_layout);
    CreatePanels();
    CreateTimeline();
    InitControls();
    CreateRedaction();
    Layout().LayoutControls(ScreenMode());
    Layout().LoadBackground();
    Telemetry().SetUpGraph();

    // The stored positions are applied only now that the sliders have their real ranges,
    // and handed to the sound output and the decoder, so the first recording already plays
    // at the volume and brightness the user left.
    m_settings->Load();
    Controls().bright->SetPos(m_settings->Brightness());
    Controls().volume->SetPos(m_settings->Volume());
    Capture().SetStillsPosition(m_settings->StillsPosition());
    Telemetry().UseSettings(*m_settings);
    Layout().Frame().PlaceRemembered(m_settings->WindowPlace());
    m_navigator->Cards().ReadLastCard();
    m_view->ApplyVolume(Controls().volume->GetPos());
    m_settings->SetBrightness(Controls().bright->GetPos());  // as far as the slider goes
    m_playback.SetBrightness(m_settings->Brightness());

    m_view->Connect();
    connect(m_view.get(), &PlaybackView::recordingEnded, this, &CSamplePlayerDlg::RecordingEnded);
    m_recovery = std::make_unique<RecoveryCommands>(*this, *m_dialogs);
    m_archive = std::make_unique<ArchiveCommands>(*this, *m_settings, *m_dialogs);
    qApp->installEventFilter(this);
    return true;
}

void CSamplePlayerDlg::CreatePanels() {
    m_view->CreatePanels(
        [this](CGPSData* fix) { return m_pTimeline ? m_pTimeline->FixOnScreen(fix) : -1; });
    // The unit picked in the speed box's menu is the viewer's from then on (events, export).
    connect(m_settings, &ViewerSettings::unitChanged, this, &CSamplePlayerDlg::SaveConfig);
    // A trip's walk is cut to the recording on screen.
    Capture().SetTelemetrySource([this] { return m_pTimeline->PartOf(CurrentPath()); });
}

void CSamplePlayerDlg::InitControls() {
    Layout().HideVideoAreas();
    m_playback.Start(Controls().front, Controls().rear);
    const bool mapNavigated = Layout().CreateMapView(ConfigPath());
    Telemetry().SetMapView(MapViewWidget(), mapNavigated);
    List()->setGeometry(650, 65, 320, 178);
}

// ---- settings file ----

void CSamplePlayerDlg::SaveConfig() {
    m_settings->SetWindowPlace(Layout().Frame().NormalGeometry());
    m_settings->Save();
    m_navigator->Cards().SaveLastCard();
}

// ---- closing ----

void CSamplePlayerDlg::OnBnClickedButtonClose() {
    // Saved on every press, whatever the answer.
    SaveConfig();
    const QString text = Tr(texts::kQuit);
    const QString caption = Tr(texts::kQuitCaption);
    // "No" leaves everything as it was: the recording is only closed once the answer is Yes.
    if (m_dialogs->AskQuit(text, caption)) CloseDown();
}

void CSamplePlayerDlg::QuitNow() {
    if (m_stage != Stage::Open) return;
    SaveConfig();
    CloseDown();
}

void CSamplePlayerDlg::CloseDown() {
    m_view->StopQuietly();
    if (m_stage == Stage::Open) m_stage = Stage::Closing;
    // A dialog of ours may be open (a question, the settings, a chooser, an export); its own
    // loop has to end before the window's can. An export's Cancel keeps its dialog up to show
    // how it ended, so that one is abandoned instead.
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget == this || !widget->isVisible()) continue;
        if (auto* exportDialog = qobject_cast<CExportDlg*>(widget)) {
            exportDialog->Abandon();
        } else if (auto* dialog = qobject_cast<QDialog*>(widget)) {
            dialog->reject();
        } else if (widget != Layout().ZoomDialog()) {
            widget->close();
        }
    }
    close();
}

void CSamplePlayerDlg::closeEvent(QCloseEvent* event) {
    if (m_stage != Stage::Open) {
        QDialog::closeEvent(event);
        return;
    }
    // The window manager's close (Alt+F4, the task bar, wmctrl -c) takes the close button's
    // road; asked from the event loop, not from inside this event.
    event->ignore();
    QTimer::singleShot(0, this, [this] { OnBnClickedButtonClose(); });
}

void CSamplePlayerDlg::OnBnClickedButtonSetting() {
    DeviceSettingsCommand(*this, *m_dialogs, *m_recovery, *m_archive).Run();
}

void CSamplePlayerDlg::OnBnClickedButtonMinimize() {
    showMinimized();
}

void CSamplePlayerDlg::OnDestroy() {
    if (m_stage == Stage::Destroyed) return;
    m_stage = Stage::Destroyed;
    qApp->removeEventFilter(this);
    if (m_layout) m_layout->DestroyViews();
    Telemetry().SetMapView(nullptr, false);
    if (m_pTimeline) m_pTimeline->Stop();
    // The worker presents into the video areas and calls back into the controller: it must be
    // gone before either of them.
    m_playback.Shutdown();
}

// ---- plumbing ----

RecordingListView* CSamplePlayerDlg::List() const {
    return static_cast<RecordingListView*>(Controls().list);
}
