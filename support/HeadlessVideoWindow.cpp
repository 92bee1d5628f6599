#include "support/HeadlessVideoWindow.h"

VideoSize HeadlessVideoWindow::Size() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_size;
}

void HeadlessVideoWindow::SetSize(int width, int height) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_size = {width, height};
}

void HeadlessVideoWindow::Present(std::shared_ptr<const CPixImgBase> picture) {
    if (!picture) return;
    int count;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_last = picture;
        count = ++m_count;
    }
    if (m_onPresent) m_onPresent(*picture, count);
}

void HeadlessVideoWindow::PresentUnseen() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_unseen;
    }
    if (m_onUnseen) m_onUnseen();
}

int HeadlessVideoWindow::UnseenCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_unseen;
}

int HeadlessVideoWindow::PresentCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_count;
}

CPixImage HeadlessVideoWindow::LastImage() const {
    std::shared_ptr<const CPixImgBase> last;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        last = m_last;
    }
    return last ? CPixImage(last->ToBgr()) : CPixImage();
}

void HeadlessVideoWindow::SetOnPresent(std::function<void(const CPixImgBase&, int)> onPresent) {
    m_onPresent = std::move(onPresent);
}

void HeadlessVideoWindow::SetOnPresentUnseen(std::function<void()> onUnseen) {
    m_onUnseen = std::move(onUnseen);
}
