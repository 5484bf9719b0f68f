// The real drive can only be tested as far as this machine allows: the build
// machines have no CD drive, so the default drive must report NoDrive there.
#include "platform/mcidev/cd/drive_disc.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace cd = mcidev::cd;

namespace {

TEST(DriveDisc, WithoutADriveReportsNoDriveClearly) {
    cd::DriveDisc disc;
    if (disc.state() != cd::DiscState::NoDrive)
        GTEST_SKIP() << "this machine has a CD drive: " << disc.name();
    EXPECT_EQ(disc.stateText(), cd::kNoDriveText);
    EXPECT_TRUE(disc.toc().empty());
    EXPECT_FALSE(disc.canEject());
    EXPECT_FALSE(disc.eject());
    std::vector<std::uint8_t> buf(2352);
    EXPECT_FALSE(disc.readAudio(0, 1, buf.data()));
    EXPECT_FALSE(disc.refresh());
    EXPECT_EQ(disc.state(), cd::DiscState::NoDrive);
}

TEST(DriveDisc, ADeviceThatCannotBeOpenedIsNoDrive) {
    cd::DriveDisc disc("/nonexistent/tolvane-cd");
    EXPECT_EQ(disc.state(), cd::DiscState::NoDrive);
    EXPECT_EQ(disc.stateText(), "The CD drive /nonexistent/tolvane-cd cannot be opened.");
    EXPECT_EQ(disc.name(), "/nonexistent/tolvane-cd");
}

// A device that opens but answers no table of contents: a drive without a disc.
TEST(DriveDisc, ADeviceWithoutATableOfContentsIsNoDisc) {
    cd::DriveDisc disc("/dev/null");
    EXPECT_EQ(disc.state(), cd::DiscState::NoDisc);
    EXPECT_EQ(disc.stateText(), cd::kNoDiscText);
    EXPECT_TRUE(disc.toc().empty());
    std::vector<std::uint8_t> buf(2352);
    EXPECT_FALSE(disc.readAudio(0, 1, buf.data()));
    EXPECT_FALSE(disc.refresh());
    EXPECT_EQ(disc.state(), cd::DiscState::NoDisc);
}

}  // namespace
