#include "app/redaction/RegionListPanel.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "redact/RegionEdit.h"
#include "support/QtText.h"
#include "support/StringTable.h"

namespace {

constexpr TextId kColumns[] = {texts::kRegionColumnCamera, texts::kRegionColumnKind,
                               texts::kRegionColumnTime, texts::kRegionColumnBoxes};
constexpr QSize kPanelSize(460, 320);
constexpr int kProgressMax = 1000;
constexpr MaskKind kKinds[] = {MaskKind::Plate, MaskKind::Face, MaskKind::Other};

}  // namespace

QString RegionListPanel::CameraText(int camera) {
    return Tr(camera == 0 ? texts::kFront : texts::kRear);
}

QString RegionListPanel::KindText(MaskKind kind) {
    return Tr(kind == MaskKind::Plate  ? texts::kPlate
              : kind == MaskKind::Face ? texts::kFace
                                       : texts::kOther);
}

QString RegionListPanel::TimeText(int64_t ms) {
    const int64_t tenths = std::max<int64_t>(ms, 0) / 100;
    return QStringLiteral("%1:%2.%3")
        .arg(tenths / 600)
        .arg(tenths / 10 % 60, 2, 10, QLatin1Char('0'))
        .arg(tenths % 10);
}

RegionListPanel::RegionListPanel(QWidget* parent)
    : QWidget(parent, Qt::Tool), m_pRows(new QTreeWidget(this)) {
    setWindowTitle(Tr(texts::kRegionsTitle));
    setAccessibleName(windowTitle());
    m_pRows->setRootIsDecorated(false);
    m_pRows->setUniformRowHeights(true);
    m_pRows->setColumnCount(kColumnCount);
    QStringList headers;
    for (TextId column : kColumns) headers << Tr(column);
    m_pRows->setHeaderLabels(headers);
    m_pRows->header()->setSectionResizeMode(kBoxesColumn, QHeaderView::Stretch);
    m_pKind = new QComboBox(this);
    for (MaskKind kind : kKinds) m_pKind->addItem(KindText(kind));
    m_pNote = new QLabel(this);
    m_pNote->setWordWrap(true);
    m_pProgress = new QProgressBar(this);
    m_pProgress->setRange(0, kProgressMax);
    auto* kindRow = new QHBoxLayout;
    kindRow->addWidget(new QLabel(Tr(texts::kNewKind), this));
    kindRow->addWidget(m_pKind, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pRows, 1);
    layout->addLayout(kindRow);
    layout->addWidget(MakeButtons());
    layout->addWidget(m_pProgress);
    layout->addWidget(m_pNote);
    resize(kPanelSize);
    connect(m_pRows, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        UpdateButtons();
        const int data = item ? item->data(0, Qt::UserRole).toInt() : 0;
        if (!m_bFilling && data > 0) emit regionChosen(data);
    });
    connect(m_pKind, &QComboBox::activated, this,
            [this](int index) { emit kindChosen(kKinds[std::clamp(index, 0, 2)]); });
    ShowIdle();
}

QWidget* RegionListPanel::MakeButtons() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    const auto add = [&](TextId text, auto signal) {
        auto* button = new QPushButton(Tr(text), row);
        layout->addWidget(button);
        connect(button, &QPushButton::clicked, this, signal);
        return button;
    };
    m_pDetect = add(texts::kDetect, [this] { emit detectAsked(); });
    m_pCut = add(texts::kRegionCutHere, [this] { emit cutAsked(); });
    m_pDelete = add(texts::kDelete, [this] { emit deleteAsked(); });
    m_pAccept = add(texts::kAccept, [this] { emit acceptAsked(CurrentSuggestion()); });
    m_pDismiss = add(texts::kDismiss, [this] { emit dismissAsked(CurrentSuggestion()); });
    m_pCancel = add(texts::kCancel, [this] { emit cancelAsked(); });
    return row;
}

void RegionListPanel::AddRow(const MaskRegion& region, int data, bool suggestion) {
    int counts[3] = {0, 0, 0};
    for (const MaskBox& b : region.boxes) ++counts[static_cast<int>(b.source)];
    const QString boxes =
        suggestion ? Tr(texts::kSuggestion) : Tr(texts::kSources, counts[0], counts[1], counts[2]);
    const QString span = region.boxes.empty()
                             ? QString()
                             : TimeText(region.boxes.front().timeMs) + QStringLiteral("–") +
                                   TimeText(region.boxes.back().timeMs);
    auto* item = new QTreeWidgetItem(
        m_pRows, QStringList{CameraText(region.camera), KindText(region.kind), span, boxes});
    item->setData(0, Qt::UserRole, data);
    if (suggestion) {
        QFont font = item->font(0);
        font.setItalic(true);
        for (int c = 0; c < kColumnCount; ++c) item->setFont(c, font);
    }
}

void RegionListPanel::Refill(const RegionEdit& edit, int selectedId) {
    m_bFilling = true;
    m_pRows->clear();
    QTreeWidgetItem* current = nullptr;
    for (const MaskRegion& r : edit.Regions()) {
        AddRow(r, r.id, false);
        if (r.id == selectedId) current = m_pRows->topLevelItem(m_pRows->topLevelItemCount() - 1);
    }
    for (size_t i = 0; i < edit.Suggestions().size(); ++i)
        AddRow(edit.Suggestions()[i], -static_cast<int>(i) - 1, true);
    if (current) m_pRows->setCurrentItem(current);
    m_bFilling = false;
    UpdateButtons();
}

int RegionListPanel::CurrentSuggestion() const {
    const QTreeWidgetItem* item = m_pRows->currentItem();
    const int data = item ? item->data(0, Qt::UserRole).toInt() : 0;
    return data < 0 ? -data - 1 : -1;
}

void RegionListPanel::UpdateButtons() {
    const QTreeWidgetItem* item = m_pRows->currentItem();
    const int data = item ? item->data(0, Qt::UserRole).toInt() : 0;
    m_pDetect->setEnabled(!m_bBusy);
    m_pCut->setEnabled(!m_bBusy && data > 0);
    m_pDelete->setEnabled(!m_bBusy && data > 0);
    m_pAccept->setEnabled(!m_bBusy && data < 0);
    m_pDismiss->setEnabled(!m_bBusy && data < 0);
    m_pCancel->setVisible(m_bBusy);
    m_pProgress->setVisible(m_bBusy);
}

void RegionListPanel::ShowBusy(const QString& text) {
    m_bBusy = true;
    m_pProgress->setValue(0);
    m_pNote->setText(text);
    UpdateButtons();
}

void RegionListPanel::SetProgress(double fraction) {
    m_pProgress->setValue(static_cast<int>(fraction * kProgressMax + 0.5));
}

void RegionListPanel::ShowIdle(const QString& note) {
    m_bBusy = false;
    m_pNote->setText(note.isEmpty() ? Tr(texts::kHint) : note);
    UpdateButtons();
}

MaskKind RegionListPanel::NewKind() const {
    return kKinds[std::clamp(m_pKind->currentIndex(), 0, 2)];
}

QString RegionListPanel::NoteText() const {
    return m_pNote->text();
}

void RegionListPanel::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    emit closed();
}
