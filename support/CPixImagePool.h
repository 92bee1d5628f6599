#pragma once
// A few pictures handed out in turn, so that a picture can be written while the one before it
// is still being painted, without allocating per frame.
//
// Acquire returns a picture nobody else holds; it comes back to the pool when the last
// reference to it goes, on whichever thread that happens. The pool keeps at most `kept`
// pictures: when every one is still held (a painter that has fallen behind), Acquire makes
// another, which is freed instead of kept when it comes back. Pictures may outlive the pool.
//
// Thread-safe.

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "support/CPixImg.h"

class CPixImagePool {
public:
    // One picture being written, one waiting to be painted, one being painted.
    static constexpr size_t kKeptPictures = 3;

    explicit CPixImagePool(size_t kept = kKeptPictures);
    CPixImagePool(const CPixImagePool&) = delete;
    CPixImagePool& operator=(const CPixImagePool&) = delete;

    // A picture of width x height with the given channel count, or null for a size the image
    // refuses. Its pixels are whatever the picture last held.
    std::shared_ptr<CPixImgBase> Acquire(int width, int height,
                                         int channels = CPixImgBase::kRgb32Channels);
    // Pictures waiting in the pool (for tests).
    size_t FreeCount() const;

private:
    struct Shelf {
        std::mutex lock;
        std::vector<std::unique_ptr<CPixImgBase>> free;  // guarded by lock
        size_t kept = kKeptPictures;                     // set at construction
    };
    std::shared_ptr<Shelf> m_shelf;  // shared with the pictures handed out
};
