// The card and category the list shows, the card used last, and the card coming and going.
#include "app/playback/CardOpener.h"

#include <QAbstractButton>
#include <algorithm>
#include <filesystem>
#include <map>

#include "app/dialogs/WindowDialogs.h"
#include "app/list/RecordingListView.h"
#include "app/view/MainWindowControls.h"
#include "app/window/Resource.h"
#include "library/CardRoot.h"
#include "support/Profile.h"
#include "support/QtText.h"
#include "support/StringTable.h"
#include "telemetry/EventDetector.h"

namespace fs = std::filesystem;

namespace {

constexpr int kPathChars = 4096;  // value buffer for a folder in the settings file
constexpr const char* kLastCardKey = "last_card";

constexpr int kCategoryButtons[] = {IDC_BUTTON_DRIVING, IDC_BUTTON_EVENT, IDC_BUTTON_PARKING,
                                    IDC_BUTTON_USER, IDC_BUTTON_ALL};

}  // namespace

CardOpener::CardOpener(RecordingListView& list, MainWindowControls& controls,
                       WindowDialogs& dialogs, const NavigatorHooks& hooks)
    : m_list(list), m_controls(controls), m_dialogs(dialogs), m_hooks(hooks) {}

void CardOpener::ShowCategory(CatalogueView view) {
    static const std::map<CatalogueView, int> kButtonOf = {
        {CatalogueView::Driving, IDC_BUTTON_DRIVING},
        {CatalogueView::Event, IDC_BUTTON_EVENT},
        {CatalogueView::Parking, IDC_BUTTON_PARKING},
        {CatalogueView::User, IDC_BUTTON_USER},
        {CatalogueView::All, IDC_BUTTON_ALL}};
    if (m_strDrivePath.empty() && HasCardLayout(CardRoot(m_strLastCard))) {
        m_strDrivePath = m_strLastCard;
    }
    m_list.Clear();
    m_bLooseFolder = false;
    if (m_strDrivePath.empty()) {
        MarkCategoryButton(0);
        UpdateListPlaceholder();
        m_dialogs.ShowNote(ListPlaceholderText(), true);
        return;
    }
    std::vector<CatalogueRow> rows;
    if (!ListCatalogue(CardRoot(m_strDrivePath), view, rows, &m_strFolderPath)) {
        if (m_strDrivePath == m_strLastCard) m_bCardLost = true;
        m_strDrivePath.clear();
        MarkCategoryButton(0);
        UpdateListPlaceholder();
        m_dialogs.ShowMessage(Tr(texts::kNoBlackbox));
        return;
    }
    m_strLastCard = m_strDrivePath;
    m_eView = view;
    m_bCardLost = false;
    MarkCategoryButton(kButtonOf.at(view));
    m_dialogs.HideNote(ListPlaceholderText());
    FillList(rows);
    UpdateListPlaceholder();
}

bool CardOpener::ShowCardCategory(const std::string& card, CatalogueView view) {
    m_strDrivePath = card;
    ShowCategory(view);
    if (m_strDrivePath.empty()) return false;
    HideCardNote();
    return true;
}

bool CardOpener::ShowLooseFolder(const std::string& folder, const std::string& named) {
    std::vector<CatalogueRow> rows;
    if (!ScanLooseFolder(folder, rows)) {
        NoteCannotOpen(fs::path(folder).filename().string());
        return false;
    }
    // A file opened by its own name is listed whatever it is called.
    const std::string name = fs::path(named).filename().string();
    std::error_code error;
    if (!named.empty() && IsRecordingName(name) &&
        std::none_of(rows.begin(), rows.end(),
                     [&name](const CatalogueRow& r) { return r.fileName == name; }))
        rows.push_back(MakeCatalogueRow(folder, name, fs::file_size(named, error)));
    m_list.Clear();
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

bool CardOpener::OpenFolder(const fs::path& folder) {
    if (HasCardLayout(CardRoot(folder.string()))) {
        return ShowCardCategory(folder.string(), CatalogueView::Driving);
    }
    CatalogueView view = CatalogueView::Driving;
    if (CategoryViewOfFolder(folder.filename().string(), &view) &&
        HasCardLayout(CardRoot(folder.parent_path().string()))) {
        return ShowCardCategory(folder.parent_path().string(), view);
    }
    return ShowLooseFolder(folder.string());
}

bool CardOpener::OpenLastCard() {
    if (HasCardLayout(CardRoot(m_strLastCard))) {
        return ShowCardCategory(m_strLastCard, CatalogueView::Driving);
    }
    UpdateListPlaceholder();
    m_dialogs.ShowNote(ListPlaceholderText(), true);
    return false;
}

void CardOpener::LoseCard() {
    m_strDrivePath.clear();
    m_bCardLost = true;
    m_list.Clear();  // its rows lead nowhere now
    MarkCategoryButton(0);
}

bool CardOpener::IsLostCardBack() const {
    return m_bCardLost && HasCardLayout(CardRoot(m_strLastCard));
}

void CardOpener::ReadLastCard() {
    std::vector<char> text(kPathChars);
    GetPrivateProfileString("config", kLastCardKey, "", text.data(), static_cast<int>(text.size()),
                            m_hooks.configPath().c_str());
    m_strLastCard = text.data();
}

void CardOpener::SaveLastCard() const {
    if (m_strLastCard.empty()) return;
    WritePrivateProfileString("config", kLastCardKey, m_strLastCard.c_str(),
                              m_hooks.configPath().c_str());
}

QString CardOpener::ListPlaceholderText() const {
    const bool noCard = m_strDrivePath.empty() && !m_bLooseFolder;
    return noCard ? Tr(texts::kInsertCard) : Tr(texts::kNoRecordings);
}

void CardOpener::UpdateListPlaceholder() {
    m_list.SetPlaceholderText(ListPlaceholderText());
}

void CardOpener::NoteCannotOpen(const std::string& name) const {
    m_dialogs.ShowNote(Tr(texts::kCannotOpen, name.c_str()), false);
}

void CardOpener::MarkCategoryButton(int controlId) {
    for (int id : kCategoryButtons) {
        auto* button = static_cast<QAbstractButton*>(m_controls.Item(id));
        button->setCheckable(true);
        button->setChecked(id == controlId);
    }
}

void CardOpener::HideCardNote() {
    m_dialogs.HideNote(Tr(texts::kInsertCard));
}

void CardOpener::FillList(const std::vector<CatalogueRow>& rows) {
    m_list.ShowRecordings(rows);
    m_list.ScanEvents(ReadEventThresholds(m_hooks.configPath()));
}
