#include "app/archive/ArchiveImportBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "device/CFormatDialog.h"
#include "support/QtText.h"

namespace {

constexpr int kMarginPx = 8;

}  // namespace

ArchiveImportBar::ArchiveImportBar(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::NoFocus);
    m_text = new QLabel(this);
    m_progress = new QProgressBar(this);
    m_progress->setTextVisible(false);
    m_progress->setFixedWidth(160);
    m_import = new QPushButton(Tr(texts::kImport), this);
    m_later = new QPushButton(Tr(texts::kNotNow), this);
    m_cancel = new QPushButton(Tr(texts::kCancel), this);
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
    m_text->setText(
        Tr(texts::kNewOnCard, count, CFormatDialog::SizeText(bytes).toUtf8().constData()));
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
    m_text->setText(Tr(texts::kImportingCount, done, total));
    adjustSize();
}

void ArchiveImportBar::Place() {
    adjustSize();
    move(kMarginPx, kMarginPx);
    show();
    raise();
}
