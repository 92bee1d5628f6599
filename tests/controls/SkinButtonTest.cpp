#include <gtest/gtest.h>

#include <QSignalSpy>

#include "WidgetEvents.h"
#include "controls/CxSkinButton.h"
#include "res/SkinBitmaps.h"

namespace {

const QColor kNormal(0, 128, 0), kDown(200, 150, 0), kOver(0, 0, 200), kDisabled(90, 90, 90);

class SkinButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        parent.resize(100, 60);
        button = Make(1023, CxSkinButton::kCheckBox);
    }
    CxSkinButton* Make(int id, CxSkinButton::Kind kind) {
        auto* b = new CxSkinButton(&parent, id, kind);
        b->SetSkin(Solid({30, 30}, kNormal), Solid({30, 30}, kDown), Solid({30, 30}, kOver),
                   Solid({30, 30}, kDisabled), QPixmap(), CxSkinButton::kDrawCopy, 0, 0);
        b->resize(30, 30);
        b->move(10, 10);
        return b;
    }
    QColor Shown() { return ShownAt(parent, QPoint(25, 25)); }
    void Click(CxSkinButton* b) {
        Press(b, {15, 15});
        Release(b, {15, 15});
    }

    QWidget parent;
    CxSkinButton* button = nullptr;
};

TEST_F(SkinButtonTest, CheckBoxClickTogglesAndShowsTheDownFaceWhileOn) {
    QSignalSpy commands(button, &CxSkinButton::command);
    EXPECT_EQ(Shown(), kNormal);
    Click(button);
    EXPECT_EQ(button->GetCheck(), 1);
    EXPECT_EQ(Shown(), kDown);
    Click(button);
    EXPECT_EQ(button->GetCheck(), 0);
    EXPECT_EQ(Shown(), kNormal);
    ASSERT_EQ(commands.count(), 2);
    EXPECT_EQ(commands.at(0).at(0).toInt(), 1023);
}

TEST_F(SkinButtonTest, ClickHandlersSeeTheNewCheckState) {
    int seen = -1;
    QObject::connect(button, &QAbstractButton::clicked, [&] { seen = button->GetCheck(); });
    Click(button);
    EXPECT_EQ(seen, 1);
}

TEST_F(SkinButtonTest, ReleasedOutsideNeitherClicksNorToggles) {
    QSignalSpy clicks(button, &QAbstractButton::clicked);
    Press(button, {15, 15});
    EXPECT_TRUE(button->IsPressing());
    EXPECT_EQ(Shown(), kDown);
    DragTo(button, {60, 15});
    EXPECT_EQ(Shown(), kNormal) << "down face only while the pointer is inside";
    DragTo(button, {15, 15});
    EXPECT_EQ(Shown(), kDown);
    DragTo(button, {60, 15});
    Release(button, {60, 15});
    EXPECT_FALSE(button->IsPressing());
    EXPECT_EQ(button->GetCheck(), 0);
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_EQ(Shown(), kNormal);
}

TEST_F(SkinButtonTest, DoubleClickCountsAsTwoClicks) {
    QSignalSpy commands(button, &CxSkinButton::command);
    Press(button, {15, 15});
    Release(button, {15, 15});
    SendMouse(button, QEvent::MouseButtonDblClick, {15, 15}, Qt::LeftButton, Qt::LeftButton);
    Release(button, {15, 15});
    EXPECT_EQ(commands.count(), 2);
    EXPECT_EQ(button->GetCheck(), 0);
}

TEST_F(SkinButtonTest, SpaceTogglesLikeAClick) {
    QSignalSpy commands(button, &CxSkinButton::command);
    Key(button, Qt::Key_Space);
    EXPECT_EQ(button->GetCheck(), 1);
    EXPECT_EQ(commands.count(), 1);
}

TEST_F(SkinButtonTest, SetCheckStoresZeroOrOneAndPushButtonsStayOff) {
    button->SetCheck(7);
    EXPECT_EQ(button->GetCheck(), 1);
    button->SetCheck(0);
    EXPECT_EQ(button->GetCheck(), 0);
    CxSkinButton* push = Make(1, CxSkinButton::kPushButton);
    push->SetCheck(1);
    EXPECT_EQ(push->GetCheck(), 0);
    QSignalSpy clicks(push, &QAbstractButton::clicked);
    Click(push);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(push->GetCheck(), 0);
}

TEST_F(SkinButtonTest, RadioButtonClearsTheOthersOfItsGroupOnly) {
    CxSkinButton* a = Make(1, CxSkinButton::kRadioButton);
    CxSkinButton* b = Make(2, CxSkinButton::kRadioButton);
    CxSkinButton* c = Make(3, CxSkinButton::kRadioButton);
    CxSkinButton* other = Make(4, CxSkinButton::kRadioButton);
    other->SetGroup(1);
    a->SetCheck(1);
    other->SetCheck(1);
    c->SetCheck(1);
    EXPECT_EQ(a->GetCheck(), 0);
    EXPECT_EQ(c->GetCheck(), 1);
    Click(b);
    EXPECT_EQ(b->GetCheck(), 1);
    EXPECT_EQ(c->GetCheck(), 0);
    Click(b);
    EXPECT_EQ(b->GetCheck(), 1) << "clicking a set radio button keeps it set";
    EXPECT_EQ(other->GetCheck(), 1) << "another group is left alone";
}

TEST_F(SkinButtonTest, HoverShowsTheOverFaceUntilThePointerLeaves) {
    HoverTo(button, {15, 15});
    EXPECT_TRUE(button->IsHovering());
    EXPECT_EQ(Shown(), kOver);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button, &leave);
    EXPECT_FALSE(button->IsHovering());
    EXPECT_EQ(Shown(), kNormal);
}

TEST_F(SkinButtonTest, DisabledButtonShowsTheDisabledFace) {
    button->SetCheck(1);
    button->setEnabled(false);
    EXPECT_EQ(Shown(), kDisabled);
}

TEST_F(SkinButtonTest, BorderDrawsARaisedEdgeThatSinksWhenOn) {
    button->SetSkin(Solid({30, 30}, kNormal), Solid({30, 30}, kNormal), QPixmap(), QPixmap(),
                    QPixmap(), CxSkinButton::kDrawCopy, 1, 0);
    const QColor raisedTop = ShownAt(parent, {20, 10});
    EXPECT_GT(raisedTop.lightness(), kNormal.lightness());
    EXPECT_EQ(ShownAt(parent, {25, 25}), kNormal) << "the edge stays on the rim";
    button->SetCheck(1);
    EXPECT_LT(ShownAt(parent, {20, 10}).lightness(), kNormal.lightness());
}

TEST(SkinButtonSkin, SetSkinWithTheMapToggleIdsLeavesTheRestAbsent) {
    QWidget parent;
    CxSkinButton button(&parent, 1099, CxSkinButton::kCheckBox);
    button.SetSkin(SkinId::kMapSmall, SkinId::kMapSmallDown, 0, SkinId::kMapSmallDisabled, 0, 0, 0,
                   0, 0);
    EXPECT_EQ(button.NormalBitmap().size(), QSize(161, 24));
    EXPECT_EQ(button.DownBitmap().size(), QSize(161, 24));
    EXPECT_EQ(button.DisabledBitmap().size(), QSize(161, 24));
    EXPECT_TRUE(button.OverBitmap().isNull());
    EXPECT_TRUE(button.FocusBitmap().isNull());
    EXPECT_TRUE(button.MaskBitmap().isNull());
    EXPECT_EQ(button.GetDrawMode(), 0);
    EXPECT_EQ(button.GetBorder(), 0);
}

TEST(SkinButtonSkin, NormalFaceStandsInForAMissingDisabledFace) {
    QWidget parent;
    CxSkinButton button(&parent, 1023, CxSkinButton::kCheckBox);
    button.SetSkin(SkinId::kMute, SkinId::kMuteDown, 0, 0, 0, 0, 0, 1, 0);
    EXPECT_EQ(button.DisabledBitmap().cacheKey(), button.NormalBitmap().cacheKey());
    EXPECT_EQ(button.GetBorder(), 1);
}

TEST(SkinButtonSkin, DrawModeAndFocusMarginAreClamped) {
    QWidget parent;
    CxSkinButton button(&parent);
    struct Row {
        int mode, margin, expectedMode, expectedMargin;
    };
    for (const Row& row : {Row{7, -5, 2, 0}, Row{-3, 4, 0, 4}, Row{1, 0, 1, 0}}) {
        button.SetSkin(0, 0, 0, 0, 0, 0, row.mode, 0, row.margin);
        EXPECT_EQ(button.GetDrawMode(), row.expectedMode);
        EXPECT_EQ(button.GetFocusMargin(), row.expectedMargin);
    }
}

}  // namespace
