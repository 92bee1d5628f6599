#include "app/archive/ArchiveImportBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "device/CFormatDialog.h"
#include "support/StringTable.h"

namespace {

constexpr int IDS_CANCEL_KO = 568, IDS_CANCEL_EN = 569;
constexpr int IDS_NEW_ON_CARD_KO = 1978, IDS_NEW_ON_CARD_EN = 1979;
constexpr int IDS_IMPORT_KO = 1980, IDS_IMPORT_EN = 1981;
constexpr int IDS_NOT_NOW_KO = 1982, IDS_NOT_NOW_EN = 1983;
constexpr int IDS_IMPORTING_COUNT_KO = 1984, IDS_IMPORTING_COUNT_EN = 1985;
constexpr int kMarginPx = 8;

QString Words(int ko, int en) {
    return QString::fromStdString(FormatResourceString(PickStringId(ko, en)));
}

}  // namespace

ArchiveImportBar::ArchiveImportBar(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::NoFocus);
    m_text = new QLabel(this);
    m_progress = new QProgressBar(this);
    m_progress->setTextVisible(false);
    m_progress->setFixedWidth(160);
    m_import = new QPushButton(Words(IDS_IMPORT_KO, IDS_IMPORT_EN), this);
    m_later = new QPushButton(Words(IDS_NOT_NOW_KO, IDS_NOT_NOW_EN), this);
    m_cancel = new QPushButton(Words(IDS_CANCEL_KO, IDS_CANCEL_EN), this);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(10, 6, 10, 6);
    row->addWidget(m_text);
    row->addWidget(m_progress);
    for (QPushButton* button : {m_import, m_later, m_cancel}) {
        button->setFocusPolicy(Qt::NoFocus);
        row->addWidget(button);
    }
    connect(m_import, &QPushButton::clicked, this, [this] { emit importAsked(m_card); });
    connect(m_later, &QPushButton::clicked, this, &QWidget::hide);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        hide();
        emit cancelAsked();
    });
    hide();
}

void ArchiveImportBar::ShowOffer(const QString& card, int count, quint64 bytes) {
    m_card = card;
    m_text->setText(QString::fromStdString(
        FormatResourceString(PickStringId(IDS_NEW_ON_CARD_KO, IDS_NEW_ON_CARD_EN), count,
                             CFormatDialog::SizeText(bytes).toUtf8().constData())));
    m_progress->hide();
    m_cancel->hide();
    m_import->show();
    m_later->show();
    Place();
}

void ArchiveImportBar::ShowRunning(const QString& card) {
    m_card = card;
    m_import->hide();
    m_later->hide();
    m_cancel->show();
    m_progress->show();
    m_progress->setRange(0, 0);
    SetProgress(0, 0);
    Place();
}

void ArchiveImportBar::SetProgress(int done, int total) {
    if (total > 0) {
        m_progress->setRange(0, total);
        m_progress->setValue(done);
    }
    m_text->setText(QString::fromStdString(FormatResourceString(
        PickStringId(IDS_IMPORTING_COUNT_KO, IDS_IMPORTING_COUNT_EN), done, total)));
    adjustSize();
}

void ArchiveImportBar::Place() {
    adjustSize();
    move(kMarginPx, kMarginPx);
    show();
    raise();
}
