// The real drive can only be tested as far as this machine allows: the build machines
// have no CD drive, so the default drive must report NoDrive there.
#include "platform/mcidev/cd/drive_disc.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace cd = mcidev::cd;

// A device that opens but answers no table of contents is a drive without a disc.
TEST(DriveDisc, WithoutADriveOrADiscThereIsNothingToRead) {
    cd::DriveDisc none("/nonexistent/tolvane-cd"), empty("/dev/null"), byDefault;
    EXPECT_EQ(none.state(), cd::DiscState::NoDrive);
    EXPECT_EQ(empty.state(), cd::DiscState::NoDisc);
    if (byDefault.state() != cd::DiscState::NoDrive) GTEST_SKIP() << "this machine has a CD drive";
    for (cd::Disc* disc : std::initializer_list<cd::Disc*>{&empty, &byDefault}) {
        const cd::DiscState before = disc->state();
        EXPECT_TRUE(disc->toc().empty());
        std::vector<std::uint8_t> buf(2352);
        EXPECT_FALSE(disc->readAudio(0, 1, buf.data()));
        EXPECT_FALSE(disc->refresh());
        EXPECT_EQ(disc->state(), before);
    }
    EXPECT_FALSE(byDefault.canEject());
    EXPECT_FALSE(byDefault.eject());
}
