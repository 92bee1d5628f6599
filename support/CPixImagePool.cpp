#include "support/CPixImagePool.h"

CPixImagePool::CPixImagePool(size_t kept) : m_shelf(std::make_shared<Shelf>()) {
    m_shelf->kept = kept;
}

std::shared_ptr<CPixImgBase> CPixImagePool::Acquire(int width, int height, int channels) {
    std::unique_ptr<CPixImgBase> picture;
    {
        std::lock_guard<std::mutex> guard(m_shelf->lock);
        auto& free = m_shelf->free;
        // One of the same size first, so a steady stream never reallocates.
        for (auto it = free.begin(); it != free.end(); ++it) {
            if ((*it)->Width() == width && (*it)->Height() == height &&
                (*it)->Channels() == channels) {
                picture = std::move(*it);
                free.erase(it);
                break;
            }
        }
        if (!picture && !free.empty()) {
            picture = std::move(free.back());
            free.pop_back();
        }
    }
    if (!picture) picture = std::make_unique<CPixImgBase>();
    if (!picture->Allocate(width, height, channels)) return nullptr;

    std::weak_ptr<Shelf> shelf = m_shelf;
    return std::shared_ptr<CPixImgBase>(picture.release(), [shelf](CPixImgBase* returned) {
        std::unique_ptr<CPixImgBase> owned(returned);
        if (const std::shared_ptr<Shelf> home = shelf.lock()) {
            std::lock_guard<std::mutex> guard(home->lock);
            if (home->free.size() < home->kept) home->free.push_back(std::move(owned));
        }
    });
}

size_t CPixImagePool::FreeCount() const {
    std::lock_guard<std::mutex> guard(m_shelf->lock);
    return m_shelf->free.size();
}
