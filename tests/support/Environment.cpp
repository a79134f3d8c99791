// Tests never need a display: Qt draws offscreen unless a test run says
// otherwise (the screenshot run under Xvfb does).
#include <cstdlib>

namespace {
struct TestEnvironment {
    TestEnvironment() { setenv("QT_QPA_PLATFORM", "offscreen", 0); }
} const testEnvironment;
}   // namespace
