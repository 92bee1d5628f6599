#pragma once
// The normal window's background at any size, built from the background picture: its title
// bar and graph band stretched or cut where they are plain, the panels, wells, plates and
// the transport bar drawn around the places the layout gives.

#include <QPixmap>
#include <QRect>
#include <QSize>
#include <vector>

#include "app/view/MainWindowControls.h"

struct SkinMarks {
    std::vector<QRect> plates;  // the time and speed labels' places
    std::vector<int> dividers;  // x of the transport bar's group dividers
};
// skin: the background picture at 975 x 635.
QPixmap ComposeSkinBackground(const QPixmap& skin, QSize client, const SkinMarks& marks);
