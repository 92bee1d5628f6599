// Opening a card or a recording (OPEN, the folder chooser, the command line, a drop), the
// notes that say what could not be opened, and the card coming and going.
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QMimeData>
#include <QUrl>
#include <filesystem>

#include "app/CSamplePlayerDlg.h"
#include "app/QtNoteLabel.h"
#include "app/RecordingListView.h"
#include "app/Resource.h"
#include "library/CSelectDriveDlg.h"
#include "library/CardRoot.h"
#include "support/Profile.h"
#include "support/RegularFile.h"
#include "support/StringTable.h"

namespace fs = std::filesystem;

namespace {

constexpr int kPathChars = 4096;  // value buffer for a folder in the settings file
constexpr const char* kLastCardKey = "last_card";

QString Text(int koreanId, int englishId) {
    return QString::fromStdString(FormatResourceString(PickStringId(koreanId, englishId)));
}

// The given path made absolute and without "." or ".." parts or a trailing '/'.
fs::path Normalised(const QString& path) {
    std::error_code error;
    fs::path absolute = fs::absolute(fs::path(path.toStdString()), error).lexically_normal();
    if (absolute.filename().empty() && absolute.has_parent_path() && absolute != "/") {
        absolute = absolute.parent_path();
    }
    return absolute;
}

bool SameFile(const std::string& a, const std::string& b) {
    if (a == b) return true;
    std::error_code error;
    return fs::equivalent(a, b, error);
}

// Why a file the player rejected cannot be played, as a string-table pair.
std::pair<int, int> UnplayableReason(const std::string& path) {
    std::error_code error;
    if (!fs::exists(path, error)) return {IDS_GONE_KO, IDS_GONE_EN};
    if (fs::is_regular_file(path, error) && fs::file_size(path, error) == 0) {
        return {IDS_EMPTY_FILE_KO, IDS_EMPTY_FILE_EN};
    }
    if (!IsReadableRegularFile(path)) return {IDS_UNREADABLE_KO, IDS_UNREADABLE_EN};
    return {IDS_NOT_RECORDING_KO, IDS_NOT_RECORDING_EN};
}

}  // namespace

// ---- what the user names ----

bool CSamplePlayerDlg::OpenPath(const QString& path) {
    const fs::path target = Normalised(path);
    std::error_code error;
    CatalogueView view = CatalogueView::Driving;
    if (fs::is_directory(target, error)) {
        if (HasCardLayout(CardRoot(target.string()))) {
            return ShowCardCategory(target.string(), CatalogueView::Driving);
        }
        if (CategoryViewOfFolder(target.filename().string(), &view) &&
            HasCardLayout(CardRoot(target.parent_path().string()))) {
            return ShowCardCategory(target.parent_path().string(), view);
        }
        return ShowLooseFolder(target.string());
    }
    if (fs::is_regular_file(target, error)) {
        // A recording already listed plays from the list as it stands (the view chosen).
        if (const int row = RowOfPath(target.string()); row >= 0) {
            OnListDoubleClick(row);
            return m_nCurIndex == row && !m_strCurrentPath.empty();
        }
        // A recording shows in its card's list (the folder above its category folder), or
        // in the list of its own folder when it lies outside a card.
        const fs::path folder = target.parent_path();
        const bool inCard = CategoryViewOfFolder(folder.filename().string(), &view) &&
                            HasCardLayout(CardRoot(folder.parent_path().string()));
        if (inCard) {
            ShowCardCategory(folder.parent_path().string(), view);
        } else {
            ShowLooseFolder(folder.string());
        }
        return PlayListedPath(target.string());
    }
    ShowNote(QString::fromStdString(FormatResourceString(
        PickStringId(IDS_CANNOT_OPEN_KO, IDS_CANNOT_OPEN_EN), target.filename().string().c_str())));
    return false;
}

bool CSamplePlayerDlg::ShowCardCategory(const std::string& card, CatalogueView view) {
    m_strDrivePath = card;
    ShowCategory(view);
    if (m_strDrivePath.empty()) return false;
    HideCardNote();
    return true;
}

void CSamplePlayerDlg::HideCardNote() {
    if (m_pNote && m_pNote->text() == Text(IDS_INSERT_CARD_KO, IDS_INSERT_CARD_EN)) {
        m_pNote->hide();
    }
}

bool CSamplePlayerDlg::ShowLooseFolder(const std::string& folder) {
    std::vector<CatalogueRow> rows;
    if (!ScanFolder(folder, rows)) {
        ShowNote(QString::fromStdString(
            FormatResourceString(PickStringId(IDS_CANNOT_OPEN_KO, IDS_CANNOT_OPEN_EN),
                                 fs::path(folder).filename().string().c_str())));
        return false;
    }
    m_listFilename->Clear();
    // Not a card: the category buttons and the settings keep asking for one.
    m_strDrivePath.clear();
    m_bLooseFolder = true;
    m_strFolderPath = folder;
    MarkCategoryButton(0);
    HideCardNote();
    FillList(rows);
    UpdateListPlaceholder();
    return true;
}

bool CSamplePlayerDlg::PlayListedPath(const std::string& path) {
    int row = RowOfListedPath(path);
    // Named another way (a link, another spelling of the folder): the file itself decides.
    for (int r = 0; row < 0 && r < m_listFilename->RowCount(); ++r)
        if (SameFile(PathCell(r), path)) row = r;
    if (PlayTripOf(path, row)) return true;
    if (row >= 0) {
        OnListDoubleClick(row);
        return m_nCurIndex == row && !m_strCurrentPath.empty();
    }
    // A name the list does not take (another extension): played on its own.
    m_nCurIndex = -1;
    return OpenRecording(path);
}

bool CSamplePlayerDlg::OpenLastCard() {
    if (HasCardLayout(CardRoot(m_strLastCard))) {
        return ShowCardCategory(m_strLastCard, CatalogueView::Driving);
    }
    UpdateListPlaceholder();
    ShowNote(ListPlaceholderText(), true);
    return false;
}

void CSamplePlayerDlg::ReadLastCard() {
    std::vector<char> text(kPathChars);
    GetPrivateProfileString("config", kLastCardKey, "", text.data(), static_cast<int>(text.size()),
                            ConfigPath().c_str());
    m_strLastCard = text.data();
}

void CSamplePlayerDlg::SaveLastCard() {
    if (m_strLastCard.empty() || m_bConfigUnreadable) return;
    WritePrivateProfileString("config", kLastCardKey, m_strLastCard.c_str(), ConfigPath().c_str());
}

// OPEN: the removable cards and "Choose folder…".
bool CSamplePlayerDlg::AskForCard() {
    // The card that went away is back: OPEN picks it up again without asking.
    if (m_bCardLost && HasCardLayout(CardRoot(m_strLastCard))) {
        m_bCardLost = false;
        return ShowCardCategory(m_strLastCard, CatalogueView::Driving);
    }
    std::string drive;
    switch (RunDriveDialog(&drive)) {
        case DriveChoice::Drive:
            return ShowCardCategory(drive, CatalogueView::Driving);
        case DriveChoice::ChooseFolder: {
            const QString folder = RunFolderDialog(QString::fromStdString(m_strLastCard));
            return !folder.isEmpty() && OpenPath(folder);
        }
        case DriveChoice::Cancelled:
            break;
    }
    return false;
}

CSamplePlayerDlg::DriveChoice CSamplePlayerDlg::RunDriveDialog(std::string* drive) {
    CSelectDriveDlg dialog(this);
    // No removable card: asking for one would only show an empty list.
    if (dialog.Combo()->count() == 0) return DriveChoice::ChooseFolder;
    const int result = dialog.DoModal();
    if (result == CSelectDriveDlg::kChooseFolder) return DriveChoice::ChooseFolder;
    if (result != QDialog::Accepted) return DriveChoice::Cancelled;
    *drive = dialog.m_strDrive;
    return DriveChoice::Drive;
}

QString CSamplePlayerDlg::RunFolderDialog(const QString& startFolder) {
    return QFileDialog::getExistingDirectory(
        this, Text(IDS_FOLDER_CAPTION_KO, IDS_FOLDER_CAPTION_EN),
        startFolder.isEmpty() ? QDir::homePath() : startFolder, QFileDialog::ShowDirsOnly);
}

// ---- a drop on the window ----

void CSamplePlayerDlg::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.first().isLocalFile()) event->acceptProposedAction();
}

void CSamplePlayerDlg::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile()) return;
    event->acceptProposedAction();
    OpenPath(urls.first().toLocalFile());
}

// ---- notes ----

QString CSamplePlayerDlg::NoteText() const {
    return m_pNote && m_pNote->isVisible() ? m_pNote->text() : QString();
}

int CSamplePlayerDlg::RowOfListedPath(const std::string& path) const {
    return m_listFilename->Model()->RowOf(QString::fromStdString(path));
}

bool CSamplePlayerDlg::IsRowUnplayable(int row) const {
    return m_listFilename->Model()->IsUnplayable(row);
}

void CSamplePlayerDlg::NoteUnplayable(const std::string& path) {
    const auto [koreanId, englishId] = UnplayableReason(path);
    const std::string name = fs::path(path).filename().string();
    m_strUnplayableReason = QString::fromStdString(
        FormatResourceString(PickStringId(koreanId, englishId), name.c_str()));
    m_strLastUnplayable = name;
    ++m_nUnplayableInRun;
    m_listFilename->Model()->MarkUnplayable(QString::fromStdString(path), m_strUnplayableReason);
}

void CSamplePlayerDlg::ShowUnplayableNote() {
    if (m_nUnplayableInRun == 0) return;
    if (m_nUnplayableInRun == 1) {
        ShowNote(m_strUnplayableReason);
    } else {
        ShowNote(QString::fromStdString(
            FormatResourceString(PickStringId(IDS_SKIPPED_KO, IDS_SKIPPED_EN), m_nUnplayableInRun,
                                 m_strLastUnplayable.c_str())));
    }
    m_nUnplayableInRun = 0;
}
