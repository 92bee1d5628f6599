#include "support/HeadlessVideoWindow.h"

#include <cstring>

VideoSize HeadlessVideoWindow::Size() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_size;
}

void HeadlessVideoWindow::SetSize(int width, int height) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_size = {width, height};
}

void HeadlessVideoWindow::Present(const CPixImgBase& image) {
    int count;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_last.Allocate(image.Width(), image.Height());
        if (!image.IsEmpty()) {
            for (int y = 0; y < image.Height(); ++y) {
                std::memcpy(m_last.Row(y), image.Row(y), static_cast<size_t>(image.Width()) * 3);
            }
        }
        count = ++m_count;
    }
    if (m_onPresent) m_onPresent(image, count);
}

int HeadlessVideoWindow::PresentCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_count;
}

CPixImage HeadlessVideoWindow::LastImage() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_last;
}

void HeadlessVideoWindow::SetOnPresent(std::function<void(const CPixImgBase&, int)> onPresent) {
    m_onPresent = std::move(onPresent);
}
