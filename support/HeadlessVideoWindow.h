#pragma once
// A VideoWindow without a screen: it keeps the last presented picture and counts the
// presentations. Used by the command-line tool and the tests. Thread-safe.

#include <functional>
#include <mutex>

#include "support/VideoWindow.h"

class HeadlessVideoWindow : public VideoWindow {
public:
    HeadlessVideoWindow(int width, int height) : m_size{width, height} {}

    VideoSize Size() const override;
    void Present(const CPixImgBase& image) override;

    void SetSize(int width, int height);
    int PresentCount() const;
    // A copy of the last presented picture (empty before the first one).
    CPixImage LastImage() const;
    // Called on the presenting thread after each picture was stored, with the count so far.
    void SetOnPresent(std::function<void(const CPixImgBase&, int count)> onPresent);

private:
    mutable std::mutex m_mutex;
    VideoSize m_size;              // guarded by m_mutex
    CPixImage m_last;              // guarded by m_mutex
    int m_count = 0;               // guarded by m_mutex
    std::function<void(const CPixImgBase&, int)> m_onPresent;  // set before playing
};
