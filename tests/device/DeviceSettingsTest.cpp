// The card's configuration file through the settings model: loading into list indices, check
// states and sliders, and Save's writing order, refusals and byte-exact edits.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "device/DeviceSettings.h"
#include "support/Trace.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class DeviceSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        fs::path dir = fs::path(TARVEX_TEST_DATA_DIR) / "device" / info->name();
        fs::remove_all(dir);
        fs::create_directories(dir);
        m_path = (dir / "blackbox.cfg").string();
    }
    void TearDown() override { SetTraceSink(nullptr); }
    void Write(const std::string& text) { std::ofstream(m_path, std::ios::binary) << text; }
    DeviceSettings Load(const std::string& text) {
        Write(text);
        DeviceSettings s;
        EXPECT_TRUE(LoadDeviceSettings(m_path, s));
        return s;
    }
    // A model that saves: shares 20/25/25/25.
    static DeviceSettings Valid() {
        DeviceSettings s;
        s.constIndex = 3;
        s.parkIndex = 4;
        s.eventIndex = 4;
        s.manualIndex = 4;
        return s;
    }

    std::string m_path;
};

const std::string kCardFile =
    "[capacity]\r\n"
    "const=50\r\n"
    "park=15\r\n"
    "event=20\r\n"
    "manual=10\r\n"
    "\r\n"
    "; written by the device\r\n"
    "[blackbox]\r\n"
    "power_off_vlt=11800\r\n"
    "park_mode=2\r\n"
    "mic_in=1\r\n"
    "mic_volume=3\r\n"
    "voice_out=0\r\n"
    "voice_volume=4\r\n"
    "acc_level=2\r\n"
    "motion_level=5\r\n"
    "brightness=5\r\n"
    "contrast=6\r\n"
    "version=1.02.03-build77\r\n"
    "model=K310VZN\r\n"
    "\r\n"
    "[time]\r\n"
    "set=0\r\n";

TEST_F(DeviceSettingsTest, CardFileLoadsIntoTheControls) {
    DeviceSettings s = Load(kCardFile);
    EXPECT_EQ(s.constIndex, 9);
    EXPECT_EQ(s.parkIndex, 2);
    EXPECT_EQ(s.eventIndex, 3);
    EXPECT_EQ(s.manualIndex, 1);
    EXPECT_TRUE(s.voltageChecked);
    EXPECT_EQ(VoltageEntries()[s.voltageIndex], "11.8v/23.8v");
    EXPECT_TRUE(s.micChecked);
    EXPECT_EQ(s.micVolume, 3);
    EXPECT_FALSE(s.voiceChecked);
    EXPECT_EQ(s.voiceVolume, 4);
    EXPECT_EQ(s.accLevel, 2);
    EXPECT_EQ(s.motionLevel, 5);
    EXPECT_EQ(s.brightness, 5);
    EXPECT_EQ(s.contrast, 6);
    EXPECT_EQ(s.version, "1.02.03-b");  // nine characters of twelve and more
    EXPECT_EQ(s.model, "K310VZN");
    EXPECT_FALSE(s.timeSyncChecked);
}

struct CapacityRow {
    int percent;
    int index;
};

class CapacityLoadTest : public DeviceSettingsTest,
                         public ::testing::WithParamInterface<CapacityRow> {};

TEST_P(CapacityLoadTest, SelectsTheEntryAtOrBelow) {
    DeviceSettings s = Load("[capacity]\nconst=" + std::to_string(GetParam().percent) + "\n");
    EXPECT_EQ(s.constIndex, GetParam().index);
}

INSTANTIATE_TEST_SUITE_P(Rows, CapacityLoadTest,
                         ::testing::Values(CapacityRow{5, 0}, CapacityRow{7, 0},
                                           CapacityRow{80, 15}, CapacityRow{84, 15},
                                           CapacityRow{4, kNoSelection},
                                           CapacityRow{85, kNoSelection},
                                           CapacityRow{-5, kNoSelection}));

TEST_F(DeviceSettingsTest, MissingKeysReadAsZero) {
    DeviceSettings s = Load("[blackbox]\nmic_in=2\npower_off_vlt=abc\nbrightness=99\n");
    EXPECT_EQ(s.constIndex, kNoSelection);
    EXPECT_EQ(s.parkIndex, kNoSelection);
    EXPECT_EQ(s.eventIndex, kNoSelection);
    EXPECT_EQ(s.manualIndex, kNoSelection);
    EXPECT_FALSE(s.micChecked);  // only exactly 1 ticks the box
    EXPECT_FALSE(s.voltageChecked);
    EXPECT_EQ(s.voltageIndex, 0);  // the disabled list still shows its first entry
    EXPECT_EQ(s.micVolume, 1);     // sliders keep within their range
    EXPECT_EQ(s.brightness, 10);
    EXPECT_EQ(s.version, "0");
    EXPECT_EQ(s.model, "0");
}

TEST_F(DeviceSettingsTest, VoltageBetweenEntriesSelectsTheOneBelow) {
    EXPECT_EQ(Load("[blackbox]\npower_off_vlt=11500\n").voltageIndex, 0);
    EXPECT_EQ(Load("[blackbox]\npower_off_vlt=12200\n").voltageIndex, 4);
    EXPECT_EQ(Load("[blackbox]\npower_off_vlt=13000\n").voltageIndex, kNoSelection);
    EXPECT_EQ(Load("[blackbox]\npower_off_vlt=5\n").voltageIndex, kNoSelection);
}

TEST_F(DeviceSettingsTest, MissingFileDoesNotLoad) {
    DeviceSettings s;
    EXPECT_FALSE(LoadDeviceSettings(m_path, s));
}

TEST_F(DeviceSettingsTest, SaveKeepsCommentsUnknownKeysAndCrLf) {
    DeviceSettings s = Load(kCardFile);
    s.constIndex = 3;   // 20
    s.parkIndex = 4;    // 25
    s.eventIndex = 4;   // 25
    s.manualIndex = 4;  // 25
    s.voltageChecked = false;
    s.voiceChecked = true;
    ASSERT_EQ(SaveDeviceSettings(m_path, s), DeviceSaveStatus::Saved);
    std::string expected = kCardFile;
    auto replace = [&](const std::string& from, const std::string& to) {
        expected.replace(expected.find(from), from.size(), to);
    };
    replace("const=50", "const=20");
    replace("park=15", "park=25");
    replace("event=20", "event=25");
    replace("manual=10", "manual=25");
    replace("power_off_vlt=11800", "power_off_vlt=0");
    replace("voice_out=0", "voice_out=1");
    EXPECT_EQ(ReadAll(m_path), expected);
}

TEST_F(DeviceSettingsTest, MissingKeysAreAddedInTheOrderOfWriting) {
    Write("[blackbox]\r\nmodel=K310\r\npark_mode=1\r\n");
    DeviceSettings s = Valid();
    s.voltageChecked = true;
    s.voltageIndex = 4;
    s.micChecked = true;
    s.micVolume = 2;
    s.voiceVolume = 3;
    s.accLevel = 4;
    s.motionLevel = 5;
    s.brightness = 6;
    s.contrast = 7;
    std::string trace;
    SetTraceSink([&](const std::string& line) { trace += line; });
    ASSERT_EQ(SaveDeviceSettings(m_path, s), DeviceSaveStatus::Saved);
    EXPECT_EQ(ReadAll(m_path),
              "[blackbox]\r\nmodel=K310\r\npark_mode=1\r\n"
              "power_off_vlt=12200\r\nmic_in=1\r\nmic_volume=2\r\nvoice_out=0\r\n"
              "voice_volume=3\r\nacc_level=4\r\nmotion_level=5\r\nbrightness=6\r\ncontrast=7\r\n"
              "[capacity]\r\nconst=20\r\nevent=25\r\nmanual=25\r\npark=25\r\n"
              "[time]\r\nset=0\r\n");
    EXPECT_EQ(trace, "voltage_Value => 12.200000\nTest => 12200.000000Voltage => 12200");
}

TEST_F(DeviceSettingsTest, EveryVoltageEntryWritesItsMillivolts) {
    const int expected[] = {11400, 11600, 11800, 12000, 12200};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(VoltageMillivolts(i), expected[i]) << i;
    EXPECT_EQ(VoltageMillivolts(5), -1);
}

TEST_F(DeviceSettingsTest, SharesNotAddingUpTo95WriteNothing) {
    Write(kCardFile);
    DeviceSettings s = Valid();
    s.constIndex = s.parkIndex = s.eventIndex = s.manualIndex = 3;  // 20 each
    EXPECT_EQ(SaveDeviceSettings(m_path, s), DeviceSaveStatus::CapacityNot95);
    s = Valid();
    s.parkIndex = kNoSelection;
    EXPECT_EQ(SaveDeviceSettings(m_path, s), DeviceSaveStatus::NoSelection);
    s = Valid();
    s.timeSyncChecked = true;
    s.hourIndex = kNoSelection;  // midnight: the hour list starts at "1"
    EXPECT_EQ(SaveDeviceSettings(m_path, s), DeviceSaveStatus::NoSelection);
    EXPECT_EQ(ReadAll(m_path), kCardFile);
}

TEST_F(DeviceSettingsTest, ClockRequestIsWrittenAndLaterClearedAlone) {
    Write(kCardFile);
    DeviceSettings s = Valid();
    s.timeSyncChecked = true;
    s.yearIndex = 1;    // 2014
    s.monthIndex = 2;   // 3
    s.dayIndex = 6;     // 7
    s.hourIndex = 17;   // 18
    s.minuteIndex = 5;  // 5
    s.secondIndex = 9;  // 9
    ASSERT_EQ(SaveDeviceSettings(m_path, s), DeviceSaveStatus::Saved);
    const std::string timed = ReadAll(m_path);
    EXPECT_NE(timed.find("[time]\r\nset=1\r\nyear=2014\r\nmonth=3\r\nday=7\r\nhour=18\r\nmin=5\r\n"
                         "sec=9\r\n"),
              std::string::npos)
        << timed;
    s.timeSyncChecked = false;
    ASSERT_EQ(SaveDeviceSettings(m_path, s), DeviceSaveStatus::Saved);
    std::string expected = timed;
    expected.replace(expected.find("set=1"), 5, "set=0");
    EXPECT_EQ(ReadAll(m_path), expected);
}

TEST_F(DeviceSettingsTest, SaveNeverCreatesTheFile) {
    EXPECT_EQ(SaveDeviceSettings(m_path, Valid()), DeviceSaveStatus::WriteFailed);
    EXPECT_FALSE(fs::exists(m_path));
}

TEST(PresetClockTest, ListsFollowTheLocalTime) {
    std::tm now{};
    now.tm_year = 2014 - 1900;
    now.tm_mon = 2;
    now.tm_mday = 7;
    now.tm_hour = 14;
    now.tm_min = 30;
    now.tm_sec = 15;
    DeviceSettings s;
    PresetClock(s, now);
    EXPECT_EQ(YearEntries()[s.yearIndex], "2014");
    EXPECT_EQ(MonthEntries()[s.monthIndex], "3");
    EXPECT_EQ(DayEntries()[s.dayIndex], "7");
    EXPECT_EQ(HourEntries()[s.hourIndex], "14");
    EXPECT_EQ(MinuteEntries()[s.minuteIndex], "30");
    EXPECT_EQ(MinuteEntries()[s.secondIndex], "15");
    now.tm_hour = 0;
    now.tm_year = 2100 - 1900;
    DeviceSettings midnight;
    PresetClock(midnight, now);
    EXPECT_EQ(midnight.hourIndex, kNoSelection);
    EXPECT_EQ(midnight.yearIndex, 0);  // outside the list: left at its first entry
}

TEST(YearEntriesTest, ReachFiveYearsPastThisOneSoTodayCanBeSet) {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    const int thisYear = local.tm_year + 1900;
    ASSERT_FALSE(YearEntries().empty());
    EXPECT_EQ(YearEntries().front(), "2013");
    EXPECT_EQ(YearEntries().back(), std::to_string(std::max(2024, thisYear + 5)));
    DeviceSettings s;
    PresetClock(s, local);
    ASSERT_GE(s.yearIndex, 0);
    EXPECT_EQ(YearEntries()[s.yearIndex], std::to_string(thisYear));
}

TEST(ApplyDeviceSettingTest, ValuesMapToTheControls) {
    DeviceSettings s;
    std::string error;
    EXPECT_TRUE(ApplyDeviceSetting(s, "park", "35", &error));
    EXPECT_EQ(s.parkIndex, 6);
    EXPECT_TRUE(ApplyDeviceSetting(s, "power_off_vlt", "12000", &error));
    EXPECT_TRUE(s.voltageChecked);
    EXPECT_EQ(s.voltageIndex, 3);
    EXPECT_TRUE(ApplyDeviceSetting(s, "power_off_vlt", "0", &error));
    EXPECT_FALSE(s.voltageChecked);
    EXPECT_TRUE(ApplyDeviceSetting(s, "hour", "24", &error));
    EXPECT_EQ(s.hourIndex, 23);
    EXPECT_TRUE(s.timeSyncChecked);
    EXPECT_TRUE(ApplyDeviceSetting(s, "contrast", "10", &error));
    EXPECT_EQ(s.contrast, 10);
    for (const auto& [key, value] :
         std::vector<std::pair<std::string, std::string>>{{"park", "33"},
                                                          {"park", "85"},
                                                          {"power_off_vlt", "11500"},
                                                          {"hour", "0"},
                                                          {"mic_volume", "6"},
                                                          {"mic_in", "2"},
                                                          {"year", "2100"},
                                                          {"brightness", "5x"},
                                                          {"version", "1"},
                                                          {"nonsense", "1"}}) {
        EXPECT_FALSE(ApplyDeviceSetting(s, key, value, &error)) << key << "=" << value;
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
