#include "app/dialogs/JobDialogParts.h"

#include <QDialog>
#include <QLabel>
#include <QLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "support/QtText.h"
#include "support/StringTable.h"

JobDialogParts MakeJobDialogParts(QDialog& dialog, const QString& doing) {
    JobDialogParts parts;
    auto* layout = new QVBoxLayout(&dialog);
    parts.text = new QLabel(doing, &dialog);
    parts.text->setWordWrap(true);
    parts.progress = new QProgressBar(&dialog);
    parts.progress->setRange(0, JobDialogParts::kMax);
    parts.progress->setValue(0);
    parts.button = new QPushButton(Tr(texts::kCancel), &dialog);
    parts.openFolder = new QPushButton(Tr(texts::kOpenFolder), &dialog);
    parts.openFolder->hide();
    layout->addWidget(parts.text);
    layout->addWidget(parts.progress);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(parts.openFolder);
    row->addWidget(parts.button);
    layout->addLayout(row);
    return parts;
}

void ShowJobDialogText(QDialog& dialog, QLabel* label, const QString& text) {
    label->setText(text);
    // The dialog's minimum width is its own, so its layout does not keep its height in step
    // with a word-wrapped text: work out the height the text needs at this width.
    QLayout* layout = dialog.layout();
    layout->activate();
    const int needed = layout->hasHeightForWidth() ? layout->totalHeightForWidth(dialog.width())
                                                   : layout->totalMinimumSize().height();
    dialog.setMinimumHeight(needed);
    if (dialog.height() < needed) dialog.resize(dialog.width(), needed);
}
