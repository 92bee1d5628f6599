#include "tests/app/AppTestSupport.h"

#include <unistd.h>

#include <QThread>
#include <filesystem>
#include <system_error>

#include "device/CSettingDlg.h"
#include "tools/cardgen/CardGenerator.h"

namespace fs = std::filesystem;

namespace apptest {

namespace {

struct Recording {
    const char* folder;
    const char* name;
    int durationSec;
    uint32_t seed;
};

// DRIVING names sort newest first as listed: 182549 (8 s), 182529 (60 s), 182509 (8 s).
const Recording kRecordings[] = {
    {"DRIVING", "REC_20260314_182509_D.AVI", 8, 1}, {"DRIVING", "REC_20260314_182529_D.AVI", 60, 2},
    {"DRIVING", "REC_20260314_182549_D.AVI", 8, 3}, {"EVENT", "EVENT_20260314_182609_D.AVI", 4, 4},
    {"USER", "USER_20260314_182629_D.AVI", 4, 5},
};

bool Generate(const fs::path& folder) {
    for (const char* category : {"DRIVING", "EVENT", "PARKING", "USER", "SETTING"}) {
        fs::create_directories(folder / category);
    }
    for (const Recording& recording : kRecordings) {
        RecordingOptions options;
        options.durationSec = recording.durationSec;
        options.frontWidth = 320;
        options.frontHeight = 180;
        options.rearWidth = 160;
        options.rearHeight = 90;
        options.seed = recording.seed;
        std::string error;
        if (!WriteRecording((folder / recording.folder / recording.name).string(), options,
                            &error)) {
            fprintf(stderr, "sample card: %s\n", error.c_str());
            return false;
        }
    }
    return true;
}

}  // namespace

const SampleCard& Card() {
    static SampleCard card = [] {
        const fs::path root = fs::path(TARVEX_TEST_DATA_DIR) / "app-card";
        std::error_code ec;
        if (!fs::exists(root / "USER" / kRecordings[4].name, ec)) {
            // Test programs may run side by side: build in a private folder, then rename.
            const fs::path staging = root.string() + ".tmp-" + std::to_string(getpid());
            fs::remove_all(staging, ec);
            if (Generate(staging)) {
                fs::rename(staging, root, ec);
                if (ec) fs::remove_all(staging, ec);  // another program won the race
            }
        }
        SampleCard made;
        made.root = root.string();
        made.driving[0] = (root / "DRIVING" / kRecordings[2].name).string();
        made.driving[1] = (root / "DRIVING" / kRecordings[1].name).string();
        made.driving[2] = (root / "DRIVING" / kRecordings[0].name).string();
        made.event = (root / "EVENT" / kRecordings[3].name).string();
        made.user = (root / "USER" / kRecordings[4].name).string();
        return made;
    }();
    return card;
}

const OneCameraCard& OneCamera() {
    static OneCameraCard card = [] {
        const fs::path root = fs::path(TARVEX_TEST_DATA_DIR) / "app-card-1cam";
        const fs::path recording = root / "DRIVING" / "REC_20260314_190009_N.AVI";
        std::error_code ec;
        if (!fs::exists(recording, ec)) {
            const fs::path staging = root.string() + ".tmp-" + std::to_string(getpid());
            fs::remove_all(staging, ec);
            for (const char* category : {"DRIVING", "EVENT", "PARKING", "USER", "SETTING"}) {
                fs::create_directories(staging / category);
            }
            RecordingOptions options;
            options.durationSec = 30;
            options.frontWidth = 320;
            options.frontHeight = 180;
            options.rearCamera = false;
            options.hour = 19;
            options.second = 9;
            options.seed = 6;
            std::string error;
            if (WriteRecording((staging / "DRIVING" / recording.filename()).string(), options,
                               &error)) {
                fs::rename(staging, root, ec);
                if (ec) fs::remove_all(staging, ec);
            } else {
                fprintf(stderr, "one-camera card: %s\n", error.c_str());
            }
        }
        return OneCameraCard{root.string(), recording.string()};
    }();
    return card;
}

std::string CopyCard(const std::string& name) {
    const fs::path target =
        fs::path(TARVEX_TEST_DATA_DIR) / ("app-card-" + name + "-" + std::to_string(getpid()));
    std::error_code ec;
    fs::remove_all(target, ec);
    fs::copy(Card().root, target, fs::copy_options::recursive, ec);
    return target.string();
}

bool WaitUntil(const std::function<bool()>& done, int limitMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > limitMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

bool WaitOpened(CSamplePlayerDlg& window, int limitMs) {
    const PlaybackController& playback = window.Playback();
    WaitUntil([&] { return playback.State() != PlaybackState::Loading; }, limitMs);
    return playback.HasMedia();
}

void Pump(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

DriveChoice TestDialogs::RunDriveDialog(std::string* drive) {
    if (noRemovableCard) return DriveChoice::ChooseFolder;
    ++driveDialogs;
    if (driveAnswer.empty()) return DriveChoice::Cancelled;
    *drive = driveAnswer;
    return DriveChoice::Drive;
}

QString TestDialogs::RunFolderDialog(const QString&) {
    ++folderDialogs;
    return folderAnswer;
}

void TestDialogs::ShowNote(const QString& text, bool persistent) {
    notes << text;
    if (onNote) onNote();
    WindowDialogs::ShowNote(text, persistent);
}

bool TestDialogs::AskQuit(const QString&, const QString&) {
    ++quitQuestions;
    return quitAnswer;
}

void TestDialogs::ShowMessage(const QString& text) {
    messages << text;
}

QString TestDialogs::RunCaptureDialog(const QString& proposedName) {
    captureQuestions << proposedName;
    if (onCapture) onCapture();
    return captureAnswer;
}

int TestDialogs::RunSettingsDialog(CSettingDlg& dialog) {
    ++settingsDialogs;
    if (onSettings) return onSettings(dialog);
    return QDialog::Rejected;
}

std::tm TestDialogs::LocalTime() const {
    if (localTime.tm_year == 0 && localTime.tm_mday == 0) return WindowDialogs::LocalTime();
    return localTime;
}

QModelIndex ListIndex(const RecordingListView* list, int row, int column, int trip) {
    const QAbstractItemModel* model = list->model();
    if (trip < 0) return model->index(row, column);
    return model->index(row, column, model->index(trip, 0));
}

QString ListCell(const RecordingListView* list, int row, int column, int trip) {
    return ListIndex(list, row, column, trip).data().toString();
}

QString ListToolTip(const RecordingListView* list, int row, int column, int trip) {
    return ListIndex(list, row, column, trip).data(Qt::ToolTipRole).toString();
}

bool IsListRowSelected(const RecordingListView* list, int row, int trip) {
    const QModelIndex index = ListIndex(list, row, 0, trip);
    return index.isValid() && list->selectionModel()->isRowSelected(index.row(), index.parent());
}

void SelectListRow(RecordingListView* list, int row, int trip) {
    list->selectionModel()->setCurrentIndex(
        ListIndex(list, row, 0, trip),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

QString ListHeading(const RecordingListView* list, int column) {
    return list->model()->headerData(column, Qt::Horizontal).toString();
}

}  // namespace apptest
