#pragma once
// Which card (or loose folder of recordings) the list shows and in which category: the
// category commands and the buttons that say which one is listed, the card used last (kept
// in the settings file), what an empty list says, and the card going away and coming back.
//
// Threads: the GUI thread only.

#include <QString>
#include <filesystem>
#include <string>
#include <vector>

#include "app/list/NavigatorHooks.h"
#include "library/RecordingCatalogue.h"

class MainWindowControls;
class RecordingListView;
class WindowDialogs;

class CardOpener {
public:
    // The list, the buttons, the dialogs (notes and messages) and the hooks outlive the
    // opener.
    CardOpener(RecordingListView& list, MainWindowControls& controls, WindowDialogs& dialogs,
               const NavigatorHooks& hooks);

    // Lists a category of the card chosen, or of the card used last when none is chosen and
    // it is there again. Without a card it says how to open one; a folder that turns out not
    // to be a card is forgotten with a message.
    void ShowCategory(CatalogueView view);
    // Makes card the chosen card and lists its category; false when it is no card.
    bool ShowCardCategory(const std::string& card, CatalogueView view);
    // Lists a folder of recordings outside any card: those named as the camera names them,
    // and the file named (when given) whatever its name; false, with a note, when it cannot
    // be searched.
    bool ShowLooseFolder(const std::string& folder, const std::string& named = {});
    // A folder the user named: a card (its DRIVING list), a category folder of a card (that
    // category) or any other folder of recordings.
    bool OpenFolder(const std::filesystem::path& folder);
    // Lists the card folder used last when it is still there; otherwise says how to open one.
    bool OpenLastCard();
    // The card listed went away: nothing of it stays listed, and the next OPEN or category
    // command takes it back when it returns.
    void LoseCard();
    // The card that went away is there again.
    bool IsLostCardBack() const;

    // The card used last, in the settings file. The caller saves only when it may write it.
    void ReadLastCard();
    void SaveLastCard() const;

    // What the list says while it is empty.
    QString ListPlaceholderText() const;
    void UpdateListPlaceholder();
    void NoteCannotOpen(const std::string& name) const;

    // The chosen card's folder; empty when none is (also while a loose folder is listed).
    const std::string& DrivePath() const { return m_strDrivePath; }
    void SetDrivePath(const std::string& drive) { m_strDrivePath = drive; }
    // The folder whose recordings are listed (the last one scanned for the all view).
    const std::string& FolderPath() const { return m_strFolderPath; }
    // The category of the card listed last.
    CatalogueView ListedView() const { return m_eView; }
    const std::string& LastCard() const { return m_strLastCard; }

private:
    // Checks the category button of controlId alone (0: none).
    void MarkCategoryButton(int controlId);
    // The persistent "insert the card" note goes once something is listed.
    void HideCardNote();
    void FillList(const std::vector<CatalogueRow>& rows);

    RecordingListView& m_list;
    MainWindowControls& m_controls;
    WindowDialogs& m_dialogs;
    const NavigatorHooks& m_hooks;

    std::string m_strFolderPath;
    std::string m_strDrivePath;
    CatalogueView m_eView = CatalogueView::Driving;
    std::string m_strLastCard;    // the card folder listed last; kept when the card goes
    bool m_bLooseFolder = false;  // the list shows a folder outside any card
    bool m_bCardLost = false;     // the card went away; OPEN takes it back when it returns
};
