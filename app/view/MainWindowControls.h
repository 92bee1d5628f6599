#pragma once
// The skinned controls of the main window: made, skinned, named for screen readers and
// placed for the normal window and for full screen. The window owns one of these; the
// controls are children of the window (Qt deletes them with it), this object only knows them.
//
// What a button does is its QAction's business (MainWindowActions); here a button is only a
// picture at a place. GUI thread only.

#include <QPixmap>
#include <QRect>
#include <QSize>
#include <QString>
#include <map>

#include "app/view/ControlPlaces.h"

class CBitmapButtonTrans;
class CBitmapSlider;
class CGraphStatic;
class EventLegend;
class CxSkinButton;
class QLabel;
class QSizeGrip;
class QWidget;
class QtVideoArea;

class MainWindowControls {
public:
    static constexpr int kNormalWidth = ControlPlaces::kNormalWidth;
    static constexpr int kNormalHeight = ControlPlaces::kNormalHeight;
    static constexpr QRect kMainArea = ControlPlaces::kMainArea;
    static constexpr QRect kSmallArea = ControlPlaces::kSmallArea;
    static constexpr QRect kGraphArea = ControlPlaces::kGraphArea;
    using NormalAreas = ControlPlaces::NormalAreas;
    static NormalAreas NormalLayout(QSize client) { return ControlPlaces::NormalLayout(client); }
    static QRect FullScreenVideoRect(int w, int h) {
        return ControlPlaces::FullScreenVideoRect(w, h);
    }

    // Makes every control as a child of window, back to front, skinned; the list is the
    // window's own and joins with AdoptList.
    explicit MainWindowControls(QWidget* window);
    MainWindowControls(const MainWindowControls&) = delete;
    MainWindowControls& operator=(const MainWindowControls&) = delete;

    void AdoptList(QWidget* list);

    // The control of a numeric id (the slider notices carry one; tests look controls up by
    // it); null for an unknown id.
    QWidget* Item(int controlId) const;
    // Knows a control by its id (and gives it its screen-reader name, where it has one).
    void Register(int controlId, QWidget* widget);
    void Forget(int controlId);

    // Places the controls of the normal window at the window's size; returns the areas used.
    NormalAreas PlaceNormal();
    // Places the controls of full screen over the whole window.
    void PlaceFullScreen();
    // Shows the controls of the normal window, or hides those full screen does without.
    void ShowSet(bool normal);
    // Full screen's controls drawn over the picture, or left out of it while the mouse
    // rests. Left out, they stay shown to the program (keys and the play state still find
    // them) and let clicks through to the picture; they are only not drawn.
    void ShowOverPicture(bool shown);
    // Shows PLAY or PAUSE in their shared place.
    void ShowPlayButton(bool showPlay);
    bool IsPlayShown() const;
    // The four view buttons take presses or wait.
    void EnableViewButtons(bool enable);

    void SetLabelText(QLabel* label, const QString& text);
    // A label with text sits on its plate; an empty one shows the black control ground.
    void ApplyLabelColours(QLabel* label);

    // ---- the controls, by name ----
    QtVideoArea* front = nullptr;
    QtVideoArea* rear = nullptr;
    CBitmapButtonTrans* minimize = nullptr;
    CBitmapButtonTrans* close = nullptr;
    CBitmapButtonTrans* fullScreen = nullptr;
    CBitmapButtonTrans* prevSize = nullptr;
    CBitmapButtonTrans* changeView = nullptr;
    CBitmapButtonTrans* mapView = nullptr;
    CBitmapButtonTrans* driving = nullptr;
    CBitmapButtonTrans* event = nullptr;
    CBitmapButtonTrans* parking = nullptr;
    CBitmapButtonTrans* user = nullptr;
    CBitmapButtonTrans* all = nullptr;
    CxSkinButton* camSmall = nullptr;
    CxSkinButton* mapSmall = nullptr;
    CBitmapSlider* position = nullptr;
    QLabel* curTime = nullptr;
    QLabel* totalTime = nullptr;
    QLabel* speed = nullptr;
    QLabel* rate = nullptr;   // the playback rate; empty at normal speed
    QLabel* clock = nullptr;  // the picture's date and time on the camera clock
    CBitmapButtonTrans* open = nullptr;
    CBitmapButtonTrans* stop = nullptr;
    CBitmapButtonTrans* pre = nullptr;
    CBitmapButtonTrans* backward = nullptr;
    CBitmapButtonTrans* play = nullptr;
    CBitmapButtonTrans* pause = nullptr;
    CBitmapButtonTrans* forward = nullptr;
    CBitmapButtonTrans* next = nullptr;
    CBitmapButtonTrans* zoom = nullptr;
    CBitmapButtonTrans* capture = nullptr;
    CBitmapButtonTrans* setting = nullptr;
    CxSkinButton* mirror = nullptr;
    CxSkinButton* mute = nullptr;
    CBitmapSlider* volume = nullptr;
    CBitmapButtonTrans* brightIcon = nullptr;
    CBitmapSlider* bright = nullptr;
    CGraphStatic* graph = nullptr;
    EventLegend* eventLegend = nullptr;  // the event colours, beside the graph
    QSizeGrip* sizeGrip = nullptr;
    QWidget* list = nullptr;

private:
    CBitmapButtonTrans* AddButton(int id);
    CxSkinButton* AddCheck(int id);
    CBitmapSlider* AddSlider(int id);
    QLabel* AddLabel(int id);
    void CreateTopRows();
    void CreateTransport();
    void SkinButtons();
    void SkinSliders();

    QWidget* m_pWindow;
    std::map<int, QWidget*> m_items;  // control id -> control
};
