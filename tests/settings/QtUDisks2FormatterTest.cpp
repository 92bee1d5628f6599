// The desktop formatter on this machine: volumes it must refuse before any D-Bus call.

#include <QTemporaryDir>

#include "device/QtUDisks2Formatter.h"
#include "tests/settings/SettingsTestSupport.h"

namespace {

TEST(QtUDisks2Formatter, RefusesFoldersAndTheSystemsOwnVolume) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QtUDisks2Formatter formatter;
    for (const std::string& mountPoint : {folder.path().toStdString(), std::string("/")}) {
        const CardFormatOutcome outcome = formatter.Format(mountPoint);
        EXPECT_EQ(outcome.result, CardFormatResult::Refused) << mountPoint;
        EXPECT_FALSE(outcome.detail.empty()) << mountPoint;
        EXPECT_TRUE(outcome.mountPoint.empty()) << mountPoint;
    }
}

}  // namespace
