// The viewer's settings file: defaults, a round trip, change signals only on a change, and a
// file that cannot be read left alone.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QSignalSpy>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/view/ViewerSettings.h"

namespace fs = std::filesystem;

namespace {

class ViewerSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        home = fs::temp_directory_path() /
               ("viewer-settings-" + std::to_string(getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(home);
        hadXdg = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        savedXdg = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(home.string()));
    }
    void TearDown() override {
        if (hadXdg)
            qputenv("XDG_CONFIG_HOME", savedXdg);
        else
            qunsetenv("XDG_CONFIG_HOME");
        fs::remove_all(home);
    }
    static std::string Text(const fs::path& path) {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path home;
    bool hadXdg = false;
    QByteArray savedXdg;
};

}  // namespace

TEST_F(ViewerSettingsTest, WhatIsSavedIsReadBackAndOnlyChangesAreSignalled) {
    ViewerSettings settings;
    settings.Load();
    ASSERT_TRUE(fs::exists(ViewerSettings::Path())) << "a missing file is made";
    EXPECT_TRUE(settings.Writable());
    EXPECT_EQ(settings.Volume(), ViewerSettings::kDefaultVolume);
    EXPECT_EQ(settings.Brightness(), ViewerSettings::kDefaultBrightness);
    EXPECT_EQ(settings.Unit(), SpeedUnit::Kmh);
    EXPECT_TRUE(settings.StillsPosition());
    EXPECT_TRUE(settings.WindowPlace().isNull());

    QSignalSpy volume(&settings, &ViewerSettings::volumeChanged);
    QSignalSpy unit(&settings, &ViewerSettings::unitChanged);
    QSignalSpy muted(&settings, &ViewerSettings::mutedChanged);
    settings.SetMuted(false);  // no change
    settings.SetMuted(true);
    settings.SetVolume(ViewerSettings::kDefaultVolume);  // no change
    settings.SetVolume(0);
    settings.SetVolume(0);
    settings.SetUnit(SpeedUnit::Mph);
    settings.SetBrightness(-3);
    settings.SetWindowPlace(QRect(10, 20, 975, 650));
    EXPECT_EQ(volume.count(), 1);
    EXPECT_EQ(unit.count(), 1);
    EXPECT_EQ(muted.count(), 1);
    settings.Save();

    ViewerSettings again;
    again.Load();
    EXPECT_EQ(again.Volume(), 0) << "0 is a value, not a missing one";
    EXPECT_EQ(again.Brightness(), -3);
    EXPECT_EQ(again.Unit(), SpeedUnit::Mph);
    EXPECT_EQ(again.WindowPlace(), QRect(10, 20, 975, 650));
    EXPECT_FALSE(again.Muted()) << "muting lasts for the session only";
}

TEST_F(ViewerSettingsTest, AFileThatCannotBeReadIsNeverWritten) {
    // A folder where the file should be: nothing can read it as a settings file.
    fs::create_directories(ViewerSettings::Path());
    ViewerSettings settings;
    settings.Load();
    EXPECT_FALSE(settings.Writable());
    EXPECT_EQ(settings.Volume(), ViewerSettings::kDefaultVolume);
    settings.SetVolume(7);
    settings.Save();
    QSignalSpy archive(&settings, &ViewerSettings::archiveChanged);
    EXPECT_FALSE(settings.SetArchive(settings.Archive()));
    EXPECT_EQ(archive.count(), 0);
    EXPECT_TRUE(fs::is_directory(ViewerSettings::Path()));
    EXPECT_TRUE(fs::is_empty(ViewerSettings::Path())) << "nothing written beside or into it";
}
