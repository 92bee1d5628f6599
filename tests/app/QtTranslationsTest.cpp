// Qt's own dialogs speak Korean in a Korean session: its translations are found where Qt was
// installed and installed once.

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "app/text/QtTranslations.h"

namespace {

TEST(QtTranslationsTest, AKoreanSessionGetsQtsOwnButtonsInKorean) {
    qputenv("LANG", "ko_KR.UTF-8");
    qunsetenv("LC_ALL");
    qunsetenv("LC_MESSAGES");
    ASSERT_TRUE(InstallQtTranslations());
    EXPECT_TRUE(InstallQtTranslations());  // once; later calls change nothing
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("예(&Y)"));
    EXPECT_NE(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Look in:"));
}

}  // namespace
