#pragma once
// A real main window on the generated card, in a private working folder with a private
// settings folder (XDG_CONFIG_HOME under it), the interface in English and trace lines
// captured.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QLabel>
#include <QTest>
#include <filesystem>
#include <memory>
#include <mutex>

#include "app/view/QtVideoArea.h"
#include "app/window/Resource.h"
#include "controls/CBitmapSlider.h"
#include "controls/CxSkinButton.h"
#include "support/Trace.h"
#include "tests/app/AppTestSupport.h"
#include "tools/cardgen/FramePattern.h"

namespace apptest {

class MainWindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("LANG", "en_US.UTF-8");
        qunsetenv("LC_ALL");
        qunsetenv("LC_MESSAGES");
        Card();  // generate before changing folder
        workDir = std::filesystem::path(TARVEX_TEST_DATA_DIR) /
                  ("app-cwd-" + std::to_string(getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(workDir);
        std::filesystem::create_directories(workDir);
        savedDir = std::filesystem::current_path();
        std::filesystem::current_path(workDir);
        savedConfigHome = qgetenv("XDG_CONFIG_HOME");
        hadConfigHome = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((workDir / "xdg").string()));
        SetTraceSink([this](const std::string& line) {
            std::lock_guard<std::mutex> guard(traceLock);
            traces.push_back(line);
        });
    }

    void TearDown() override {
        window.reset();
        SetTraceSink({});
        std::filesystem::current_path(savedDir);
        if (hadConfigHome)
            qputenv("XDG_CONFIG_HOME", savedConfigHome);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }

    TestWindow& Window() {
        if (!window) {
            window = std::make_unique<TestWindow>();
            window->show();
        }
        return *window;
    }

    void ShowCard(const std::string& root = Card().root) {
        Window().Navigator().Cards().SetDrivePath(root);
        Window().Navigator().Cards().ShowCategory(CatalogueView::Driving);
    }

    // Double-clicks row r of the list as the user would.
    void DoubleClickRow(int row) {
        RecordingListView* list = Window().List();
        const QModelIndex index = list->model()->index(row, 1);
        ASSERT_TRUE(index.isValid());
        list->scrollTo(index);
        const QRect rect = list->visualRect(index);
        // An item view only takes a double click on the item the button went down on.
        QTest::mousePress(list->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
        // The double click leaves the button down as far as the application knows, and a
        // held button freezes the position slider; let it go as the user's finger would.
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
        WaitOpened(Window());
    }

    // A key as the user presses it; what it opens is waited for.
    void Key(int key) {
        QTest::keyClick(&Window(), static_cast<Qt::Key>(key));
        WaitOpened(Window());
    }
    // Opens as the window's own commands do and waits for it; true when it plays.
    bool Open(const std::string& path, int tripIndex = -1) {
        return Window().OpenRecording(path, tripIndex) && WaitOpened(Window());
    }

    int FrontFrame() const { return ReadFramePattern(window->FrontArea()->LastImage()).frameIndex; }
    bool Visible(int id) { return !Window().GetDlgItem(id)->isHidden(); }
    QString LabelText(int id) { return static_cast<QLabel*>(Window().GetDlgItem(id))->text(); }
    int MuteCheck() {
        return static_cast<CxSkinButton*>(Window().GetDlgItem(IDC_BUTTON_MUTE))->GetCheck();
    }

    // Plays until the front area shows a frame index at least n.
    bool WaitForFrontFrame(int n) {
        return WaitUntil([&] { return FrontFrame() >= n; });
    }

    std::vector<std::string> Traces() {
        std::lock_guard<std::mutex> guard(traceLock);
        return traces;
    }
    void ClearTraces() {
        std::lock_guard<std::mutex> guard(traceLock);
        traces.clear();
    }
    // The key-press lines only (the engine writes its own statistics lines too).
    std::vector<std::string> KeyTraces() {
        std::vector<std::string> keys;
        for (const std::string& line : Traces()) {
            if (line.rfind("Press Button", 0) == 0) keys.push_back(line);
        }
        return keys;
    }

    void SendSliderRelease(int id, int position) {
        auto* slider = static_cast<CBitmapSlider*>(Window().GetDlgItem(id));
        slider->SetPos(position);
        emit slider->moved(slider->GetPos());
    }

    std::unique_ptr<TestWindow> window;
    std::filesystem::path workDir;
    std::filesystem::path savedDir;
    QByteArray savedConfigHome;
    bool hadConfigHome = false;
    std::mutex traceLock;
    std::vector<std::string> traces;
};

// A window fixture with a copy of the card of its own (removed afterwards) and a private data
// folder (XDG_DATA_HOME under the working folder) for the archive and what the window keeps.
class CopiedCardFixture : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        card = CopyCard(::testing::UnitTest::GetInstance()->current_test_info()->name());
        hadDataHome = qEnvironmentVariableIsSet("XDG_DATA_HOME");
        savedDataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString((workDir / "data").string()));
    }
    void TearDown() override {
        if (hadDataHome)
            qputenv("XDG_DATA_HOME", savedDataHome);
        else
            qunsetenv("XDG_DATA_HOME");
        MainWindowFixture::TearDown();
        std::error_code ec;
        std::filesystem::remove_all(card, ec);
    }

    std::string card;

private:
    QByteArray savedDataHome;
    bool hadDataHome = false;
};

}  // namespace apptest
