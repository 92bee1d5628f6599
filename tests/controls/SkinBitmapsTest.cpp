#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <map>

#include "res/SkinBitmaps.h"

namespace {

struct Expected {
    std::vector<int> ids;
    QSize size;
};

// Every bitmap the main window names, by the size its control expects.
const Expected kTable[] = {
    {{421}, {975, 635}},
    {{451, 452, 434, 435, 440, 441, 502, 503}, {25, 25}},
    {{431, 432, 433, 428, 429, 430, 475, 476, 477, 448, 449, 450}, {161, 24}},
    {{463, 464, 437, 438}, {65, 24}},
    {{457, 458, 445, 446, 417, 418}, {64, 24}},
    {{466, 467, 489, 490, 472, 473, 478, 479, 481, 482, 460, 461,
      496, 497, 425, 426, 484, 485, 454, 455, 495, 494, 424},
     {30, 30}},
    {{469, 470, 505}, {54, 54}},
    {{443, 444}, {410, 16}},
    {{422, 423}, {81, 16}},
    {{420}, {16, 16}},
    {{143}, {48, 48}},
};

TEST(SkinBitmapsTest, EveryControlBitmapLoadsAtItsSize) {
    for (const Expected& row : kTable)
        for (int id : row.ids) {
            const QPixmap pixmap = LoadSkinBitmap(id);
            ASSERT_FALSE(pixmap.isNull()) << "bitmap " << id;
            EXPECT_EQ(pixmap.size(), row.size) << "bitmap " << id;
            EXPECT_EQ(SkinBitmapSize(id), row.size) << "bitmap " << id;
        }
}

TEST(SkinBitmapsTest, UnknownIdsGiveNothing) {
    for (int id : {0, -1, 1, 419, 9999}) {
        EXPECT_TRUE(LoadSkinBitmap(id).isNull()) << id;
        EXPECT_FALSE(SkinBitmapSize(id).isValid()) << id;
    }
}

TEST(SkinBitmapsTest, IdListHoldsExactlyTheTable) {
    std::vector<int> expected;
    for (const Expected& row : kTable)
        expected.insert(expected.end(), row.ids.begin(), row.ids.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(SkinBitmapIds(), expected);
}

int CountBlack(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) count += (image.pixel(x, y) & 0xFFFFFF) == 0;
    return count;
}

TEST(SkinBitmapsTest, SliderBitmapsCarryTheKeyColourAtTheirOrigin) {
    for (int id : {443, 444, 422, 423, 420}) {
        const QImage image = LoadSkinBitmap(id).toImage();
        EXPECT_EQ(image.pixel(0, 0) & 0xFFFFFF, 0u) << "bitmap " << id;
        EXPECT_LT(CountBlack(image), image.width() * image.height()) << "bitmap " << id;
    }
}

TEST(SkinBitmapsTest, KeyedFacesAreBlackOnlyOutsideTheirShape) {
    // Round plates, icons and the ends of the tab bar: a corner is key colour, the centre
    // never is.
    for (int id : {466, 467, 469, 505, 451, 435, 431, 433, 463, 418}) {
        const QImage image = LoadSkinBitmap(id).toImage();
        const bool cornerKeyed = (image.pixel(0, 0) & 0xFFFFFF) == 0 ||
                                 (image.pixel(image.width() - 1, 0) & 0xFFFFFF) == 0;
        EXPECT_TRUE(cornerKeyed) << "bitmap " << id;
        const QPoint centre(image.width() / 2, image.height() / 2);
        EXPECT_NE(image.pixel(centre) & 0xFFFFFF, 0u) << "bitmap " << id;
    }
}

TEST(SkinBitmapsTest, SkinButtonFacesAreOpaque) {
    // The skin button copies its faces, so any black would show as black.
    for (int id : {475, 476, 477, 448, 449, 450, 454, 455, 495, 494})
        EXPECT_EQ(CountBlack(LoadSkinBitmap(id).toImage()), 0) << "bitmap " << id;
}

TEST(SkinBitmapsTest, PressedFacesDifferFromReleasedOnes) {
    const std::pair<int, int> pairs[] = {{451, 452}, {431, 432}, {463, 464}, {475, 476},
                                         {469, 470}, {495, 494}, {466, 467}, {443, 444}};
    for (auto [up, down] : pairs)
        EXPECT_NE(LoadSkinBitmap(up).toImage(), LoadSkinBitmap(down).toImage()) << up;
}

TEST(SkinBitmapsTest, IconHasSmallAndLargePictures) {
    const QIcon icon = LoadSkinIcon(SkinId::kAppIcon);
    ASSERT_FALSE(icon.isNull());
    const QList<QSize> sizes = icon.availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
    EXPECT_TRUE(sizes.contains(QSize(48, 48)));
    EXPECT_TRUE(LoadSkinIcon(421).isNull());
}

// The Korean set: the faces with words and the background differ from the English ones at
// the same size; faces without words are the same pictures; English comes back when asked.
TEST(SkinBitmapsTest, TheKoreanSetChangesOnlyTheWords) {
    const int worded[] = {421, 431, 428, 463, 437, 457, 445, 417, 475, 448};
    const int wordless[] = {469, 466, 434, 443};
    std::map<int, QImage> english;
    for (int id : worded) english[id] = LoadSkinBitmap(id).toImage();
    for (int id : wordless) english[id] = LoadSkinBitmap(id).toImage();
    SetSkinKorean(true);
    for (int id : worded) {
        const QImage korean = LoadSkinBitmap(id).toImage();
        EXPECT_EQ(korean.size(), english[id].size()) << id;
        EXPECT_NE(korean, english[id]) << id;
    }
    for (int id : wordless) EXPECT_EQ(LoadSkinBitmap(id).toImage(), english[id]) << id;
    SetSkinKorean(false);
    for (int id : worded) EXPECT_EQ(LoadSkinBitmap(id).toImage(), english[id]) << id;
}

}  // namespace
