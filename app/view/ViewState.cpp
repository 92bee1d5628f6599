// The view layouts and the table of the view commands.
#include "app/view/ViewState.h"

#include <array>
#include <cstddef>

namespace {

using L = ViewLayout;
constexpr size_t kLayouts = 6;
constexpr size_t kCommands = 4;

// Two cameras, by layout (rows, in ViewLayout's order) and command (columns: change view,
// sub camera, map small, map large). Change view trades the cameras and the map keeps its
// area; sub camera puts the other camera small (from a map-main layout: front main, rear
// small); map small puts the map small (from a map-main layout: the rear camera small);
// map large trades the map and the main area's camera, or gives the small area's camera the
// main area back.
constexpr std::array<std::array<L, kCommands>, kLayouts> kTwoCameras{{
    /* FrontRear */ {L::RearFront, L::FrontRear, L::FrontMap, L::MapFront},
    /* RearFront */ {L::FrontRear, L::RearFront, L::RearMap, L::MapRear},
    /* FrontMap  */ {L::RearMap, L::FrontRear, L::FrontMap, L::MapFront},
    /* RearMap   */ {L::FrontMap, L::RearFront, L::RearMap, L::MapRear},
    /* MapFront  */ {L::MapRear, L::FrontRear, L::MapRear, L::FrontMap},
    /* MapRear   */ {L::MapFront, L::FrontRear, L::MapRear, L::RearMap},
}};

constexpr ViewPlace H = ViewPlace::Hidden, M = ViewPlace::Main, S = ViewPlace::Small;
constexpr std::array<ViewPlaces, kLayouts> kPlaces{{
    /* FrontRear */ {M, S, H},
    /* RearFront */ {S, M, H},
    /* FrontMap  */ {M, H, S},
    /* RearMap   */ {H, M, S},
    /* MapFront  */ {S, H, M},
    /* MapRear   */ {H, S, M},
}};

bool MapIsMain(ViewLayout layout) {
    return layout == L::MapFront || layout == L::MapRear;
}

}  // namespace

ViewLayout ViewState::Next(ViewLayout from, ViewCommand command, int cameras) {
    if (cameras < 1) return from;
    if (cameras == 1) {
        if (command != ViewCommand::MapLarge) return from;
        return MapIsMain(from) ? L::FrontMap : L::MapFront;
    }
    return kTwoCameras[static_cast<size_t>(from)][static_cast<size_t>(command)];
}

ViewPlaces ViewState::PlacesOf(ViewLayout layout) {
    return kPlaces[static_cast<size_t>(layout)];
}

std::optional<ViewLayout> ViewState::LayoutOf(ViewPlaces places) {
    for (size_t i = 0; i < kLayouts; ++i) {
        const ViewPlaces& p = kPlaces[i];
        if (p.front == places.front && p.rear == places.rear && p.map == places.map)
            return static_cast<ViewLayout>(i);
    }
    return std::nullopt;
}

void ViewState::Open(int cameras) {
    m_layout = cameras > 1 ? L::FrontRear : L::FrontMap;
}

bool ViewState::Apply(ViewCommand command, int cameras) {
    if (!m_layout) return false;
    const ViewLayout next = Next(*m_layout, command, cameras);
    if (next == *m_layout) return false;
    m_layout = next;
    return true;
}
