// The view layouts and the table the view commands move through.
#include <gtest/gtest.h>

#include <string>

#include "app/view/ViewState.h"

namespace {

using L = ViewLayout;
using V = ViewCommand;

// Named by the main area's content, then the small area's.
std::string Name(ViewLayout layout) {
    const ViewPlaces p = ViewState::PlacesOf(layout);
    auto in = [&](ViewPlace area) {
        return p.front == area ? "F" : p.rear == area ? "R" : p.map == area ? "M" : "-";
    };
    return std::string(in(ViewPlace::Main)) + in(ViewPlace::Small);
}

const L kAll[] = {L::FrontRear, L::RearFront, L::FrontMap, L::RearMap, L::MapFront, L::MapRear};

}  // namespace

TEST(ViewState, EveryLayoutFillsBothAreasAndReadsBackFromItsPlaces) {
    const char* names[] = {"FR", "RF", "FM", "RM", "MF", "MR"};
    for (size_t i = 0; i < std::size(kAll); ++i) {
        EXPECT_EQ(Name(kAll[i]), names[i]);
        EXPECT_EQ(ViewState::LayoutOf(ViewState::PlacesOf(kAll[i])), kAll[i]) << names[i];
    }
    // Places no layout has: nothing open, two views in one area.
    EXPECT_FALSE(ViewState::LayoutOf({}).has_value());
    EXPECT_FALSE(
        ViewState::LayoutOf({ViewPlace::Main, ViewPlace::Main, ViewPlace::Hidden}).has_value());
}

TEST(ViewState, CommandsWithTwoCamerasFollowTheTable) {
    struct Row {
        const char* from;
        V command;
        const char* to;
    } rows[] = {
        {"FR", V::ChangeView, "RF"}, {"FR", V::MapSmall, "FM"},   {"FR", V::SubCamera, "FR"},
        {"FR", V::MapLarge, "MF"},   {"RF", V::ChangeView, "FR"}, {"RF", V::MapSmall, "RM"},
        {"RF", V::SubCamera, "RF"},  {"RF", V::MapLarge, "MR"},   {"FM", V::ChangeView, "RM"},
        {"FM", V::MapSmall, "FM"},   {"FM", V::SubCamera, "FR"},  {"FM", V::MapLarge, "MF"},
        {"RM", V::ChangeView, "FM"}, {"RM", V::MapSmall, "RM"},   {"RM", V::SubCamera, "RF"},
        {"RM", V::MapLarge, "MR"},   {"MF", V::ChangeView, "MR"}, {"MF", V::MapSmall, "MR"},
        {"MF", V::SubCamera, "FR"},  {"MF", V::MapLarge, "FM"},   {"MR", V::ChangeView, "MF"},
        {"MR", V::MapSmall, "MR"},   {"MR", V::SubCamera, "FR"},  {"MR", V::MapLarge, "RM"},
    };
    for (const Row& row : rows) {
        L from = L::FrontRear;
        for (L layout : kAll)
            if (Name(layout) == row.from) from = layout;
        EXPECT_EQ(Name(ViewState::Next(from, row.command, 2)), row.to)
            << row.from << " + " << static_cast<int>(row.command);
    }
}

TEST(ViewState, OneCameraOnlyTradesFrontAndMapAndNoCameraChangesNothing) {
    for (L from : kAll) {
        for (V command : {V::ChangeView, V::SubCamera, V::MapSmall, V::MapLarge}) {
            const L one = ViewState::Next(from, command, 1);
            const bool mapMain = from == L::MapFront || from == L::MapRear;
            const L expected = command != V::MapLarge ? from : mapMain ? L::FrontMap : L::MapFront;
            EXPECT_EQ(one, expected) << Name(from) << " + " << static_cast<int>(command);
            EXPECT_EQ(ViewState::Next(from, command, 0), from) << Name(from);
        }
    }
}

TEST(ViewState, OpenCloseAndApplySayWhetherTheLayoutChanged) {
    ViewState state;
    EXPECT_FALSE(state.IsOpen());
    EXPECT_FALSE(state.Apply(V::MapLarge, 2)) << "nothing open: no command acts";
    EXPECT_EQ(state.Places().front, ViewPlace::Hidden);

    state.Open(2);
    EXPECT_EQ(state.Layout(), L::FrontRear);
    EXPECT_FALSE(state.Apply(V::SubCamera, 2));
    EXPECT_TRUE(state.Apply(V::ChangeView, 2));
    EXPECT_EQ(state.Layout(), L::RearFront);

    state.Open(1);
    EXPECT_EQ(state.Layout(), L::FrontMap);
    state.SetFullScreen(true);
    state.Close();
    EXPECT_FALSE(state.IsOpen());
    EXPECT_TRUE(state.IsFullScreen()) << "closing the recording keeps the window's mode";
}
