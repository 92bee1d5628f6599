#include <gtest/gtest.h>

#include "support/CPixImagePool.h"

TEST(CPixImagePool, HeldPicturesAreNeverHandedOutAgainAndReturnedOnesAreReused) {
    CPixImagePool pool(2);
    auto a = pool.Acquire(64, 36);
    auto b = pool.Acquire(64, 36);
    ASSERT_TRUE(a && b);
    EXPECT_NE(a.get(), b.get());
    EXPECT_EQ(a->Channels(), CPixImgBase::kRgb32Channels);
    const uint8_t* pixelsOfA = a->Pixels();
    a.reset();  // the window let go of it
    EXPECT_EQ(pool.FreeCount(), 1u);
    auto c = pool.Acquire(64, 36);
    EXPECT_EQ(c->Pixels(), pixelsOfA) << "same size: the returned picture is reused as it is";

    // A painter that has fallen behind holds them all: more are made, but only two kept.
    auto d = pool.Acquire(64, 36);
    EXPECT_NE(d.get(), b.get());
    EXPECT_NE(d.get(), c.get());
    b.reset(), c.reset(), d.reset();
    EXPECT_EQ(pool.FreeCount(), 2u);

    // Another size reuses a kept picture at the new size.
    auto e = pool.Acquire(7, 5);
    EXPECT_EQ(e->Width(), 7);
    EXPECT_EQ(e->Stride(), 28);
    EXPECT_FALSE(pool.Acquire(-1, 5));
}

TEST(CPixImagePool, PicturesMayOutliveThePool) {
    std::shared_ptr<CPixImgBase> kept;
    {
        CPixImagePool pool;
        kept = pool.Acquire(8, 8);
    }
    ASSERT_TRUE(kept);
    kept->Row(7)[31] = 1;
    kept.reset();  // freed, not returned to a pool that is gone
}
