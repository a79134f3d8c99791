// Capturing a program's output (the desktop folder comes from xdg-user-dir).
#include <gtest/gtest.h>

#include "platform/Processes.h"

namespace velmora::platform {
namespace {

TEST(CaptureProgramOutput, OutputOnlyWhenTheProgramEndsWell) {
    EXPECT_EQ(CaptureProgramOutput({"printf", "%s|%s", "a b", "c"}), "a b|c");
    EXPECT_EQ(CaptureProgramOutput({"false"}), std::nullopt);
    EXPECT_EQ(CaptureProgramOutput({"no-such-program-here"}), std::nullopt);
    EXPECT_EQ(CaptureProgramOutput({}), std::nullopt);
}

}   // namespace
}   // namespace velmora::platform
