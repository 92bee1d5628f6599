// The category commands: which card's recordings the list shows, and the buttons that say so.
#include <map>

#include "app/CSamplePlayerDlg.h"
#include "app/QtNoteLabel.h"
#include "app/RecordingListView.h"
#include "app/Resource.h"
#include "controls/CBitmapButtonTrans.h"
#include "library/CardRoot.h"
#include "support/StringTable.h"

void CSamplePlayerDlg::ConnectList() {
    connect(m_listFilename, &RecordingListView::rowActivated, this,
            [this](int row) { OnListDoubleClick(row); });
    connect(m_listFilename, &RecordingListView::tripRecordingActivated, this,
            [this](int row, int index) { PlayTripFrom(row, static_cast<size_t>(index)); });
    connect(m_listFilename, &RecordingListView::tripsToggleRequested, this,
            [this] { OnToggleTrips(); });
    // What an empty list says depends on the card, which may have gone with the rows.
    const auto placeholder = [this] { UpdateListPlaceholder(); };
    RecordingListModel* model = m_listFilename->Model();
    connect(model, &QAbstractItemModel::modelReset, m_listFilename, placeholder);
    connect(model, &QAbstractItemModel::rowsRemoved, m_listFilename, placeholder);
    UpdateListPlaceholder();
}

std::string CSamplePlayerDlg::PathCell(int row) const {
    return m_listFilename->PathOf(row).toStdString();
}

void CSamplePlayerDlg::SelectOnly(int row, bool focus) {
    m_listFilename->SelectOnly(row, focus);
}

void CSamplePlayerDlg::FillList(const std::vector<CatalogueRow>& rows) {
    m_listFilename->ShowRecordings(rows);
    m_listFilename->ScanEvents(ReadEventThresholds(ConfigPath()));
}

void CSamplePlayerDlg::ShowCategory(CatalogueView view) {
    static const std::map<CatalogueView, int> kButtonOf = {
        {CatalogueView::Driving, IDC_BUTTON_DRIVING},
        {CatalogueView::Event, IDC_BUTTON_EVENT},
        {CatalogueView::Parking, IDC_BUTTON_PARKING},
        {CatalogueView::User, IDC_BUTTON_USER},
        {CatalogueView::All, IDC_BUTTON_ALL}};
    // Without a chosen card the buttons show the card used last, when it is there again.
    if (m_strDrivePath.empty() && HasCardLayout(CardRoot(m_strLastCard))) {
        m_strDrivePath = m_strLastCard;
    }
    m_listFilename->Clear();
    m_bLooseFolder = false;
    if (m_strDrivePath.empty()) {
        MarkCategoryButton(0);
        UpdateListPlaceholder();
        ShowNote(ListPlaceholderText(), true);
        return;
    }
    std::vector<CatalogueRow> rows;
    const bool listed = ListCatalogue(CardRoot(m_strDrivePath), view, rows, &m_strFolderPath);
    if (!listed) {
        if (m_strDrivePath == m_strLastCard) m_bCardLost = true;
        m_strDrivePath.clear();
        MarkCategoryButton(0);
        UpdateListPlaceholder();
        ShowMessage(QString::fromStdString(
            FormatResourceString(PickStringId(IDS_NO_BLACKBOX_KO, IDS_NO_BLACKBOX_EN))));
        return;
    }
    m_strLastCard = m_strDrivePath;
    m_bCardLost = false;
    MarkCategoryButton(kButtonOf.at(view));
    if (m_pNote && m_pNote->text() == ListPlaceholderText()) m_pNote->hide();
    FillList(rows);
    UpdateListPlaceholder();
}

void CSamplePlayerDlg::MarkCategoryButton(int controlId) {
    for (int id : {IDC_BUTTON_DRIVING, IDC_BUTTON_EVENT, IDC_BUTTON_PARKING, IDC_BUTTON_USER,
                   IDC_BUTTON_ALL}) {
        auto* button = static_cast<CBitmapButtonTrans*>(GetDlgItem(id));
        button->setCheckable(true);
        button->setChecked(id == controlId);
    }
}

QString CSamplePlayerDlg::ListPlaceholderText() const {
    const bool noCard = m_strDrivePath.empty() && !m_bLooseFolder;
    return QString::fromStdString(
        FormatResourceString(noCard ? PickStringId(IDS_INSERT_CARD_KO, IDS_INSERT_CARD_EN)
                                    : PickStringId(IDS_NO_RECORDINGS_KO, IDS_NO_RECORDINGS_EN)));
}

void CSamplePlayerDlg::UpdateListPlaceholder() {
    if (m_listFilename) m_listFilename->SetPlaceholderText(ListPlaceholderText());
}

void CSamplePlayerDlg::OnBnClickedButtonDriving() {
    ShowCategory(CatalogueView::Driving);
}
void CSamplePlayerDlg::OnBnClickedButtonEvent() {
    ShowCategory(CatalogueView::Event);
}
void CSamplePlayerDlg::OnBnClickedButtonParking() {
    ShowCategory(CatalogueView::Parking);
}
void CSamplePlayerDlg::OnBnClickedButtonUser() {
    ShowCategory(CatalogueView::User);
}
void CSamplePlayerDlg::OnBnClickedButtonAll() {
    ShowCategory(CatalogueView::All);
}
