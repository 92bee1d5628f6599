// The event legend beside the G-sensor graph: the kinds' names in the user's language, a
// swatch of each kind's own colour, and names short enough to show whole.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "app/panels/EventKinds.h"
#include "app/panels/EventLegend.h"
#include "app/view/ControlPlaces.h"
#include "controls/ColorRef.h"
#include "support/StringTable.h"

namespace {

class EventLegendTest : public ::testing::Test {
protected:
    void TearDown() override { g_wLanguage = kLangEnglish; }
};

TEST_F(EventLegendTest, NamesEveryKindInTheUsersLanguage) {
    const struct Row {
        uint16_t language;
        std::vector<QString> lines;
        QString name;
    } rows[] = {
        {kLangEnglish,
         {"EVENTS", "Hard braking", "Hard acceleration", "Sharp turn", "Impact"},
         "Event colours"},
        {kLangKorean, {"이벤트", "급제동", "급가속", "급회전", "충격"}, "이벤트 종류별 색"},
    };
    for (const Row& row : rows) {
        g_wLanguage = row.language;
        EventLegend legend;
        EXPECT_EQ(legend.Lines(), row.lines) << row.language;
        EXPECT_EQ(legend.accessibleName(), row.name);
        EXPECT_EQ(legend.accessibleDescription().count(", "), 3);
    }
}

TEST_F(EventLegendTest, EachSwatchHasItsKindsColourAndNoNameIsCut) {
    for (uint16_t language : {kLangEnglish, kLangKorean}) {
        g_wLanguage = language;
        EventLegend legend;
        legend.resize(ControlPlaces::kEventLegendArea.size());
        QImage picture(legend.size(), QImage::Format_RGB32);
        picture.fill(Qt::black);
        legend.render(&picture);
        // The swatches sit at the left, one row each, 16 px apart from 29 px down.
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(QColor(picture.pixel(3, 29 + 16 * i)),
                      ColorRefToQColor(EventColour(kEventKinds[i])))
                << language << " row " << i;
        }
        // A name longer than the legend is wide would be elided: none is.
        QFont font(QStringLiteral("Noto Sans"));
        font.setPixelSize(10);
        for (size_t i = 1; i < legend.Lines().size(); ++i)
            EXPECT_LE(QFontMetrics(font).horizontalAdvance(legend.Lines()[i]) + 13, legend.width())
                << legend.Lines()[i].toStdString();
    }
}

}  // namespace
