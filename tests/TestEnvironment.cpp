// Every test program runs without a display or a sound card: Qt draws offscreen and SDL plays
// into its dummy driver, unless the caller asked for something else.

#include <cstdlib>

namespace {

struct TestEnvironment {
    TestEnvironment() {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
    }
};

const TestEnvironment g_testEnvironment;

}  // namespace
