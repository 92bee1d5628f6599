#pragma once
// Where the window shows its three views (front camera, rear camera, map): one of six
// layouts, named by the main area's content and then the small area's, or nothing while no
// recording is open; and whether the window is in full screen. The view commands move
// between layouts by one table. Plain value, GUI thread only.

#include <optional>

enum class ViewLayout { FrontRear, RearFront, FrontMap, RearMap, MapFront, MapRear };

enum class ViewCommand { ChangeView, SubCamera, MapSmall, MapLarge };

// Where one view stands; the numbers are those the window has always reported.
enum class ViewPlace { Hidden = 0, Main = 1, Small = 2 };

struct ViewPlaces {
    ViewPlace front = ViewPlace::Hidden;
    ViewPlace rear = ViewPlace::Hidden;
    ViewPlace map = ViewPlace::Hidden;
};

class ViewState {
public:
    // The layout after a command for a recording of `cameras` cameras. One camera knows
    // only the map command (front and map trade the areas); no camera, no change.
    static ViewLayout Next(ViewLayout from, ViewCommand command, int cameras);
    static ViewPlaces PlacesOf(ViewLayout layout);
    // The layout that puts the views at these places; nothing when no layout does.
    static std::optional<ViewLayout> LayoutOf(ViewPlaces places);

    // A recording just opened: front main with the rear camera small, or the map small
    // when there is no rear camera.
    void Open(int cameras);
    // Nothing open: every view hidden.
    void Close() { m_layout.reset(); }
    // Applies a command; false when nothing is open or the layout stays as it was.
    bool Apply(ViewCommand command, int cameras);
    void Set(std::optional<ViewLayout> layout) { m_layout = layout; }

    bool IsOpen() const { return m_layout.has_value(); }
    std::optional<ViewLayout> Layout() const { return m_layout; }
    ViewPlaces Places() const { return m_layout ? PlacesOf(*m_layout) : ViewPlaces{}; }

    bool IsFullScreen() const { return m_bFullScreen; }
    void SetFullScreen(bool full) { m_bFullScreen = full; }
    // The rear camera's picture is shown mirrored.
    bool IsRearMirrored() const { return m_bRearMirrored; }
    void SetRearMirrored(bool mirrored) { m_bRearMirrored = mirrored; }

private:
    std::optional<ViewLayout> m_layout;
    bool m_bFullScreen = false;
    bool m_bRearMirrored = false;
};
