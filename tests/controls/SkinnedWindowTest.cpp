// The skin's bitmaps on the real controls, laid out as the main window lays them out in its
// normal mode: every keyed face must show the background where its key colour is, and the
// face's own colours everywhere else.
//
// With TARVEX_SKIN_SHOT=path.png set, the composed window is also saved there to look at.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPainter>

#include "WidgetEvents.h"
#include "controls/CBitmapButtonTrans.h"
#include "controls/CBitmapSlider.h"
#include "controls/CxSkinButton.h"
#include "res/SkinBitmaps.h"

namespace {

class Background : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).drawPixmap(0, 0, LoadSkinBitmap(SkinId::kBackground));
    }
};

struct ButtonRow {
    int id, up, down, disabled;
    QPoint at;
};

const ButtonRow kButtons[] = {
    {1000, 451, 452, 0, {892, 5}},    {1001, 434, 435, 0, {946, 5}},
    {1018, 440, 441, 0, {919, 5}},    {1097, 431, 432, 433, {325, 39}},
    {1101, 428, 429, 430, {486, 39}}, {1152, 463, 464, 0, {649, 39}},
    {1150, 437, 438, 0, {714, 39}},   {1151, 457, 458, 0, {779, 39}},
    {1153, 445, 446, 0, {843, 39}},   {1154, 417, 418, 0, {907, 39}},
    {1012, 466, 467, 0, {28, 470}},   {1007, 489, 490, 0, {82, 470}},
    {1005, 472, 473, 0, {136, 470}},  {1009, 478, 479, 0, {190, 470}},
    {1006, 469, 470, 0, {244, 457}},  {1010, 481, 482, 0, {322, 470}},
    {1008, 460, 461, 0, {376, 470}},  {1121, 496, 497, 0, {430, 470}},
    {1017, 425, 426, 0, {484, 470}},  {1016, 484, 485, 0, {538, 470}},
    {1237, 424, 0, 0, {820, 470}},
};

class SkinnedWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.resize(975, 635);
        for (const ButtonRow& row : kButtons) {
            auto* b = new CBitmapButtonTrans(&window, row.id);
            b->SetTransparentColor(0x000000);
            ASSERT_TRUE(b->LoadBitmaps(row.up, row.down, row.up, row.disabled)) << row.id;
            b->SizeToContent();
            b->move(row.at);
            buttons.push_back(b);
        }
        struct Skin {
            int id, normal, down, disabled, border;
            QRect at;
        };
        for (const Skin& s : {Skin{1100, 475, 476, 477, 0, {649, 246, 161, 24}},
                              Skin{1099, 448, 449, 450, 0, {810, 246, 161, 24}},
                              Skin{1236, 454, 455, 0, 1, {592, 470, 30, 30}},
                              Skin{1023, 495, 494, 0, 1, {679, 470, 30, 30}}}) {
            auto* b = new CxSkinButton(&window, s.id, CxSkinButton::kCheckBox);
            b->SetSkin(s.normal, s.down, 0, s.disabled, 0, 0, 0, s.border, 0);
            b->setGeometry(s.at);
        }
        struct Slider {
            int id, channel, active, min, max, pos;
            QPoint at;
        };
        for (const Slider& s : {Slider{1002, 443, 444, 0, 180, 60, {92, 432}},
                                Slider{1004, 422, 423, 0, 99, 70, {719, 477}},
                                Slider{1112, 422, 423, -5, 5, 0, {860, 477}}}) {
            auto* slider = new CBitmapSlider(&window, s.id);
            slider->move(s.at);
            ASSERT_TRUE(slider->SetBitmapChannel(s.channel, s.active, true, 0xFF000000, 0, 0));
            ASSERT_TRUE(slider->SetBitmapThumb(420, 420, true, 0xFF000000, 0, 0));
            slider->SetRange(s.min, s.max);
            slider->SetDrawFocusRect(false, false);
            slider->SetPos(s.pos);
        }
    }

    Background window;
    std::vector<CBitmapButtonTrans*> buttons;
};

TEST_F(SkinnedWindowTest, KeyedFacesShowTheBackgroundOnlyWhereTheyAreBlack) {
    const QImage background = LoadSkinBitmap(SkinId::kBackground).toImage();
    const QImage shot = window.grab().toImage();
    if (const QByteArray path = qgetenv("TARVEX_SKIN_SHOT"); !path.isEmpty())
        shot.save(QString::fromLocal8Bit(path));
    for (const ButtonRow& row : kButtons) {
        const QImage face = LoadSkinBitmap(row.up).toImage();
        int mismatches = 0;
        for (int y = 0; y < face.height(); ++y)
            for (int x = 0; x < face.width(); ++x) {
                const QPoint at = row.at + QPoint(x, y);
                const QRgb expected =
                    (face.pixel(x, y) & 0xFFFFFF) == 0 ? background.pixel(at) : face.pixel(x, y);
                mismatches += (shot.pixel(at) & 0xFFFFFF) != (expected & 0xFFFFFF);
            }
        EXPECT_EQ(mismatches, 0) << "control " << row.id;
    }
}

TEST_F(SkinnedWindowTest, PressedFaceReplacesTheReleasedOne) {
    CBitmapButtonTrans* play = buttons[14];
    ASSERT_EQ(play->GetDlgCtrlID(), 1006);
    play->setDown(true);
    const QImage shot = window.grab().toImage();
    const QImage down = LoadSkinBitmap(SkinId::kPlayDown).toImage();
    EXPECT_EQ(shot.pixel(244 + 27, 457 + 27) & 0xFFFFFF, down.pixel(27, 27) & 0xFFFFFF);
}

}  // namespace
