#include "app/panels/EventLegend.h"

#include <QPainter>
#include <QStringList>
#include <iterator>

#include "app/panels/EventKinds.h"
#include "controls/ColorRef.h"
#include "support/QtText.h"
#include "support/StringTable.h"

namespace {

// The skin's caption and text colours, so the legend reads like the graph's axis legend.
const QColor kCaptionColour(132, 141, 152);
const QColor kTextColour(201, 209, 217);
constexpr int kCaptionPx = 10, kNamePx = 10;
constexpr int kCaptionBaseline = 13;  // level with the axis legend's caption
constexpr int kFirstRowMiddle = 29;
constexpr int kRowPitch = 16;
constexpr int kSwatchPx = 8;
constexpr int kNameLeft = kSwatchPx + 5;
constexpr int kWidthPx = 96;

QFont LegendFont(int pixels, bool bold) {
    QFont font(QStringLiteral("Noto Sans"));
    font.setFamilies({QStringLiteral("Noto Sans"), QStringLiteral("Noto Sans CJK KR")});
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

}  // namespace

EventLegend::EventLegend(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(Tr(texts::kNameEventLegend));
    const std::vector<QString> lines = Lines();
    setAccessibleDescription(QStringList(lines.begin() + 1, lines.end()).join(", "));
}

std::vector<QString> EventLegend::Lines() const {
    std::vector<QString> lines{Tr(texts::kEventsCaption)};
    for (DrivingEventKind kind : kEventKinds) lines.push_back(EventKindName(kind));
    return lines;
}

QSize EventLegend::sizeHint() const {
    return {kWidthPx, kFirstRowMiddle + 3 * kRowPitch + kRowPitch / 2};
}

void EventLegend::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::TextAntialiasing);
    const std::vector<QString> lines = Lines();
    QFont caption = LegendFont(kCaptionPx, true);
    caption.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
    p.setFont(caption);
    p.setPen(kCaptionColour);
    p.drawText(QPointF(0, kCaptionBaseline), lines.front());
    const QFont name = LegendFont(kNamePx, false);
    p.setFont(name);
    const int ascentHalf = QFontMetrics(name).capHeight() / 2;
    int middle = kFirstRowMiddle;
    for (size_t i = 0; i < std::size(kEventKinds); ++i, middle += kRowPitch) {
        p.fillRect(QRect(0, middle - kSwatchPx / 2, kSwatchPx, kSwatchPx),
                   ColorRefToQColor(EventColour(kEventKinds[i])));
        p.setPen(kTextColour);
        // Elided rather than cut where a long name meets the window's edge.
        const QString text =
            QFontMetrics(name).elidedText(lines[i + 1], Qt::ElideRight, width() - kNameLeft);
        p.drawText(QPointF(kNameLeft, middle + ascentHalf), text);
    }
}
