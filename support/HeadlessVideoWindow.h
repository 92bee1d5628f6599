#pragma once
// A VideoWindow without a screen: it keeps the last presented picture and counts the
// presentations. At 0 x 0 nothing is converted for it and it counts the frames alone. Used
// by the command-line tool and the tests. Thread-safe.

#include <functional>
#include <mutex>

#include "support/VideoWindow.h"

class HeadlessVideoWindow : public VideoWindow {
public:
    HeadlessVideoWindow(int width, int height) : m_size{width, height} {}

    VideoSize Size() const override;
    void Present(std::shared_ptr<const CPixImgBase> picture) override;
    // Counted apart from the pictures; the last picture stays as it was.
    void PresentUnseen() override;

    void SetSize(int width, int height);
    int PresentCount() const;
    // A 3-channel copy of the last presented picture (empty before the first one).
    CPixImage LastImage() const;
    // Frames decoded while the size was 0 x 0.
    int UnseenCount() const;
    // Called on the presenting thread after each picture was stored, with the count so far.
    // The picture is the one presented (usually 4 channels), valid during the call.
    void SetOnPresent(std::function<void(const CPixImgBase&, int count)> onPresent);
    // Called on the presenting thread for each frame decoded unseen.
    void SetOnPresentUnseen(std::function<void()> onUnseen);

private:
    mutable std::mutex m_mutex;
    VideoSize m_size;                           // guarded by m_mutex
    std::shared_ptr<const CPixImgBase> m_last;  // guarded by m_mutex; kept, not copied
    int m_count = 0;                            // guarded by m_mutex
    int m_unseen = 0;                           // guarded by m_mutex
    std::function<void(const CPixImgBase&, int)> m_onPresent;  // set before playing
    std::function<void()> m_onUnseen;                          // set before playing
};
