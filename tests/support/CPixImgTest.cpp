#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "support/CPixImg.h"
#include "support/HeadlessVideoWindow.h"

namespace fs = std::filesystem;

namespace {

void Fill(CPixImgBase& img) {
    for (int y = 0; y < img.Height(); ++y) {
        for (int x = 0; x < img.Width(); ++x) {
            uint8_t* p = img.Row(y) + x * 3;
            p[0] = static_cast<uint8_t>(x < img.Width() / 2 ? 255 : 0);  // blue left
            p[1] = static_cast<uint8_t>(y < img.Height() / 2 ? 200 : 40);
            p[2] = static_cast<uint8_t>(x < img.Width() / 2 ? 0 : 255);  // red right
        }
    }
}

}  // namespace

TEST(CPixImg, AllocateKeepsPixelsForSameSizeAndPadsStride) {
    CPixImage img;
    ASSERT_TRUE(img.Allocate(5, 3));
    EXPECT_EQ(img.Stride(), 16);  // 15 bytes rounded up to 4
    img.Row(1)[0] = 77;
    const uint8_t* before = img.Pixels();
    ASSERT_TRUE(img.Allocate(5, 3));
    EXPECT_EQ(img.Pixels(), before);
    EXPECT_EQ(img.Row(1)[0], 77);
    ASSERT_TRUE(img.Allocate(6, 3));
    EXPECT_EQ(img.Width(), 6);
    EXPECT_EQ(img.Row(1)[0], 0);
    EXPECT_FALSE(img.Allocate(-1, 3));
    EXPECT_FALSE(img.Allocate(100000, 3));
}

TEST(CPixImg, MirrorOddWidthSwapsOuterPixelsAndKeepsMiddle) {
    CPixImage img(3, 1);
    for (int x = 0; x < 3; ++x)
        for (int c = 0; c < 3; ++c) img.Row(0)[x * 3 + c] = static_cast<uint8_t>(10 * x + c);
    img.MirrorRows();
    const uint8_t* r = img.Row(0);
    EXPECT_EQ(r[0], 20);
    EXPECT_EQ(r[2], 22);
    EXPECT_EQ(r[3], 10);
    EXPECT_EQ(r[6], 0);
    EXPECT_EQ(r[8], 2);
}

TEST(CPixImg, SaveImageWritesJpegThatReadsBackInBgrOrder) {
    fs::path path = fs::path(TARVEX_TEST_DATA_DIR) / "pix_roundtrip.jpg";
    CPixImage img(64, 32);
    Fill(img);
    ASSERT_TRUE(img.SaveImage(path.string()));
    CPixImage back;
    ASSERT_TRUE(back.LoadImage(path.string()));
    ASSERT_EQ(back.Width(), 64);
    ASSERT_EQ(back.Height(), 32);
    const uint8_t* left = back.Row(20) + 5 * 3;
    const uint8_t* right = back.Row(20) + 60 * 3;
    EXPECT_GT(left[0], 200);
    EXPECT_LT(left[2], 60);
    EXPECT_GT(right[2], 200);
    EXPECT_LT(right[0], 60);
}

TEST(CPixImg, SaveFailsWithoutPictureOrWritableFolder) {
    CPixImage empty;
    EXPECT_FALSE(empty.SaveImage((fs::path(TARVEX_TEST_DATA_DIR) / "empty.jpg").string()));
    CPixImage img(8, 8);
    EXPECT_FALSE(img.SaveImage("/nonexistent-folder/x.jpg"));
    CPixImage junk;
    fs::path text = fs::path(TARVEX_TEST_DATA_DIR) / "not_a.jpg";
    FILE* f = fopen(text.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fputs("hello", f);
    fclose(f);
    EXPECT_FALSE(junk.LoadImage(text.string()));
}

TEST(HeadlessVideoWindow, KeepsLastPictureAndCounts) {
    HeadlessVideoWindow window(4, 2);
    EXPECT_EQ(window.Size().width, 4);
    int seen = 0;
    window.SetOnPresent([&](const CPixImgBase&, int count) { seen = count; });
    CPixImage img(4, 2);
    img.Row(1)[3] = 99;
    window.PresentCopy(img);
    img.Row(1)[3] = 1;  // the window keeps its own copy
    window.PresentCopy(img);
    img.Row(1)[3] = 5;
    EXPECT_EQ(window.PresentCount(), 2);
    EXPECT_EQ(seen, 2);
    EXPECT_EQ(window.LastImage().Row(1)[3], 1);
    window.SetSize(0, 0);
    EXPECT_EQ(window.Size().width, 0);
}
