#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "library/CSelectDriveDlg.h"
#include "support/StringTable.h"

TEST(SelectDrive, OffersTheVolumesSortedWithTheFirstSelected) {
    CSelectDriveDlg dialog(nullptr, {"/media/me/SDCARD_G", "/media/me/SDCARD_E"});
    ASSERT_EQ(dialog.Combo()->count(), 2);
    EXPECT_EQ(dialog.Combo()->itemText(0), "/media/me/SDCARD_E");
    EXPECT_EQ(dialog.Combo()->itemText(1), "/media/me/SDCARD_G");
    EXPECT_EQ(dialog.Combo()->currentText(), "/media/me/SDCARD_E");
    EXPECT_TRUE(dialog.Combo()->isEditable());
}

TEST(SelectDrive, WithoutRemovableVolumesItClosesAsCancelledAtOnce) {
    CSelectDriveDlg dialog(nullptr, {});
    EXPECT_EQ(dialog.DoModal(), QDialog::Rejected);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(dialog.m_strDrive.empty());
}

TEST(SelectDrive, OkHandsBackTheTextAsTyped) {
    CSelectDriveDlg dialog(nullptr, {"/media/me/CARD"});
    QTimer::singleShot(0, &dialog, [&] {
        QLineEdit* edit = dialog.Combo()->lineEdit();
        edit->clear();
        QTest::keyClicks(edit, "/mnt/typed card");
        QTest::keyClick(edit, Qt::Key_Return);
    });
    EXPECT_EQ(dialog.DoModal(), QDialog::Accepted);
    EXPECT_EQ(dialog.m_strDrive, "/mnt/typed card");
}

TEST(SelectDrive, EscapeCancelsAndHandsBackNothing) {
    CSelectDriveDlg dialog(nullptr, {"/media/me/CARD"});
    QTimer::singleShot(0, &dialog, [&] { QTest::keyClick(dialog.Combo(), Qt::Key_Escape); });
    EXPECT_EQ(dialog.DoModal(), QDialog::Rejected);
    EXPECT_TRUE(dialog.m_strDrive.empty());
}

TEST(SelectDrive, TextsFollowTheInterfaceLanguage) {
    qputenv("LANG", "ko_KR.UTF-8");
    qunsetenv("LC_ALL");
    qunsetenv("LC_MESSAGES");
    {
        CSelectDriveDlg dialog(nullptr, {"/x"});
        EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("드라이브 선택"));
    }
    qputenv("LANG", "de_DE.UTF-8");
    CSelectDriveDlg dialog(nullptr, {"/x"});
    EXPECT_EQ(dialog.windowTitle(), "Select Drive");
}

TEST(SelectDrive, ChooseFolderEndsTheDialogWithItsOwnResult) {
    CSelectDriveDlg dialog(nullptr, {"/media/me/CARD"});
    EXPECT_EQ(dialog.ChooseFolderButton()->text(), "Choose folder…");
    QTimer::singleShot(0, &dialog, [&] { dialog.ChooseFolderButton()->click(); });
    EXPECT_EQ(dialog.DoModal(), CSelectDriveDlg::kChooseFolder);
    EXPECT_TRUE(dialog.m_strDrive.empty());
}
