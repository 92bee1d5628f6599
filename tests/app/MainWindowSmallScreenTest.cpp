// The window on a small screen (the offscreen screen's size comes from TARVEX_TEST_SCREEN; the
// suite runs at 800 x 600 and 1024 x 600): it opens inside the screen, every named control lies
// inside it and clear of every other in the normal window and in full screen, paused after a
// step the times show tenths, and the Korean window and string table carry no English words.
#include <QAbstractButton>
#include <QHeaderView>
#include <QRegularExpression>
#include <QScreen>
#include <vector>

#include "app/view/ControlPlaces.h"
#include "app/view/QtNoteLabel.h"
#include "support/StringTable.h"
#include "tests/app/MainWindowFixture.h"

using namespace apptest;

namespace {

struct Named {
    QString name;
    QRect rect;  // window coordinates
};

// The window's own controls that are shown, have a size and a name to be read out.
std::vector<Named> NamedControls(QWidget& window) {
    std::vector<Named> named;
    for (QWidget* w : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!w->isVisible() || w->geometry().isEmpty() || w->accessibleName().isEmpty()) continue;
        named.push_back({w->accessibleName(), w->geometry()});
    }
    return named;
}

// Words that may stay in Latin letters in the Korean interface: names, units, the camera's
// type codes, key names and file patterns. Words in capitals only (GPS, UTC, JPEG) are
// abbreviations, not English words.
bool IsAllowedLatinWord(const QString& word) {
    static const QStringList allowed = {
        "Tarvex", "km",    "mph",  "kbps", "kbit",  "fps",  "ms",  "Enter", "Esc", "Page",     "Up",
        "Down",   "Space", "Home", "End",  "Shift", "Ctrl", "Alt", "Tab",   "Del", "Backspace"};
    return word == word.toUpper() || allowed.contains(word);
}

QStringList EnglishWords(QString text) {
    // File names and patterns (blackbox.cfg, *.jpg), addresses (postgresql://…) and commands
    // quoted in backticks (`sha256sum -c SHA256SUMS`) are names.
    text.remove(QRegularExpression(QStringLiteral("`[^`]*`")));
    text.remove(QRegularExpression(QStringLiteral("[\\w*]*\\.[A-Za-z0-9]+\\b")));
    text.remove(QRegularExpression(QStringLiteral("[a-z]+://\\S*")));
    QStringList found;
    static const QRegularExpression word(QStringLiteral("[A-Za-z]{2,}"));
    for (auto it = word.globalMatch(text); it.hasNext();) {
        const QString w = it.next().captured();
        if (!IsAllowedLatinWord(w)) found << w;
    }
    return found;
}

class MainWindowSmallScreenTest : public MainWindowFixture {
protected:
    QRect Screen() { return Window().screen()->availableGeometry(); }

    // Every named control inside the screen and clear of every other; in full screen the
    // controls lie over the picture unless the screen leaves bands beside it.
    void ExpectControlsPlaced(const std::string& what) {
        const std::vector<Named> named = NamedControls(Window());
        ASSERT_GT(named.size(), 20u) << what;
        const bool full = Window().ScreenMode() == CSamplePlayerDlg::kScreenFull;
        const QRect video = Window().FrontArea()->geometry();
        const QRect screen = Window().screen()->geometry();
        const bool bandsBeside = screen.height() - video.height() >= 137;
        for (size_t a = 0; a < named.size(); ++a) {
            const QRect onScreen = named[a].rect.translated(Window().geometry().topLeft());
            EXPECT_TRUE(screen.contains(onScreen))
                << what << ": " << named[a].name.toStdString() << " off the screen";
            for (size_t b = a + 1; b < named.size(); ++b) {
                const bool overPicture = full && (named[a].rect == video || named[b].rect == video);
                if (overPicture && !bandsBeside) continue;
                EXPECT_FALSE(named[a].rect.intersects(named[b].rect))
                    << what << ": " << named[a].name.toStdString() << " overlaps "
                    << named[b].name.toStdString();
            }
        }
    }
};

}  // namespace

TEST_F(MainWindowSmallScreenTest, TheWindowFitsTheScreenAndEveryControlHasItsOwnPlace) {
    EXPECT_LE(Window().minimumWidth(), 800);
    EXPECT_LE(Window().minimumHeight(), 560);
    EXPECT_TRUE(Screen().contains(Window().frameGeometry()))
        << Window().frameGeometry().x() << "," << Window().frameGeometry().y() << " "
        << Window().width() << "x" << Window().height();
    ShowCard();
    DoubleClickRow(0);
    ASSERT_EQ(Window().Playback().Player().GetCameraCount(), 2);
    ExpectControlsPlaced("normal window");
    // The map in the small area takes the rear camera's place.
    QTest::mouseClick(Window().GetDlgItem(IDC_CHECK_MAPSMALL), Qt::LeftButton);
    ExpectControlsPlaced("map small");

    Window().OnBnClickedButtonFullScreen();
    Pump(50);
    ExpectControlsPlaced("full screen");
}

TEST_F(MainWindowSmallScreenTest, PausedAfterAStepTheTimesShowTenths) {
    ShowCard();
    DoubleClickRow(1);
    ASSERT_TRUE(WaitForFrontFrame(5));
    const QRegularExpression elapsed(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d$"));
    const QRegularExpression clock(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d$"));
    Key(Qt::Key_Period);  // pauses, then steps
    ASSERT_TRUE(WaitUntil([&] { return elapsed.match(LabelText(IDC_STATIC_CURTIME)).hasMatch(); }))
        << LabelText(IDC_STATIC_CURTIME).toStdString();
    EXPECT_TRUE(clock.match(LabelText(IDC_STATIC_CLOCK)).hasMatch())
        << LabelText(IDC_STATIC_CLOCK).toStdString();
    // Four frames at 30 per second cross a tenth: the time box says so.
    Pump(300);
    const QString before = LabelText(IDC_STATIC_CURTIME);
    for (int frame = FrontFrame() + 1, steps = 0; steps < 4; ++steps, ++frame) {
        Key(Qt::Key_Period);
        ASSERT_TRUE(WaitUntil([&] { return FrontFrame() == frame; }, 5000)) << FrontFrame();
    }
    EXPECT_TRUE(WaitUntil([&] { return LabelText(IDC_STATIC_CURTIME) != before; }));
    EXPECT_TRUE(elapsed.match(LabelText(IDC_STATIC_CURTIME)).hasMatch());
}

TEST_F(MainWindowSmallScreenTest, TheKoreanWindowAndStringTableUseNoEnglishWords) {
    for (int id = 0; id < 4000; ++id) {
        const QString text = QString::fromStdString(LoadResourceString(id));
        if (!text.contains(QRegularExpression(QStringLiteral("[\\x{AC00}-\\x{D7A3}]")))) continue;
        EXPECT_TRUE(EnglishWords(text).isEmpty())
            << id << ": " << EnglishWords(text).join(' ').toStdString();
    }
    window.reset();
    qputenv("LANG", "ko_KR.UTF-8");
    ShowCard();
    DoubleClickRow(0);
    QStringList texts{Window().windowTitle()};
    for (QWidget* w : Window().findChildren<QWidget*>()) {
        if (!w->isVisible()) continue;
        texts << w->accessibleName() << w->toolTip();
        if (auto* label = qobject_cast<QLabel*>(w)) texts << label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(w)) texts << button->text();
    }
    for (int column = 0; column < Window().List()->header()->count(); ++column)
        texts << ListHeading(Window().List(), column);
    ASSERT_TRUE(texts.join(' ').contains(QStringLiteral("재생"))) << "the window speaks Korean";
    for (const QString& text : texts) {
        // The product's full name is a name.
        QString shown = text;
        shown.remove(QStringLiteral("Tarvex K310VZN PC Viewer"));
        EXPECT_TRUE(EnglishWords(shown).isEmpty()) << text.toStdString();
    }
}
