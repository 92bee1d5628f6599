#pragma once
// The normal window's background at a size larger than the background picture, built from
// the picture: its title bar and bands stretched where they are plain, the panels, wells
// and plates drawn around the areas the larger layout gives.

#include <QPixmap>
#include <QRect>
#include <QSize>
#include <vector>

#include "app/MainWindowControls.h"

// skin: the background picture at 975 x 635; plates: the time and speed labels' places.
QPixmap ComposeSkinBackground(const QPixmap& skin, QSize client, const std::vector<QRect>& plates);
