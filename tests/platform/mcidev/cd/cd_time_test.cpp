#include "platform/mcidev/cd/cd_time.h"

#include <gtest/gtest.h>

namespace cd = mcidev::cd;
using mci::MCI_MAKE_TMSF;

namespace {

// Track 1 starts after 150 sectors of hidden audio; track 2 at 1:00:00 of disc time; a
// data track ends the disc.
const cd::Toc kToc{{{1, 150, 4350, true}, {2, 4500, 3000, true}, {3, 7500, 500, false}}, 8000};

TEST(CdTime, DiscTimeCountsTheLeadInAndMillisecondsRoundToTheNearest) {
    EXPECT_EQ(cd::lbaToMsf(0), (cd::Msf{0, 2, 0}));
    EXPECT_EQ(cd::lbaToMsf(4350), (cd::Msf{1, 0, 0}));
    EXPECT_EQ(cd::lbaToMsf(cd::kMaxDiscSectors - 1), (cd::Msf{99, 59, 74}));
    for (std::int32_t lba : {-150, 0, 74, 75, 449849}) EXPECT_EQ(cd::msfToLba(cd::lbaToMsf(lba)), lba);
    EXPECT_EQ(cd::sectorsToMs(1), 13u);  // 13.33
    EXPECT_EQ(cd::sectorsToMs(2), 27u);  // 26.67
    EXPECT_EQ(cd::sectorsToMs(-5), 0u);
    EXPECT_EQ(cd::msToSectors(0xFFFFFFFFu), 322122547);
    for (std::int64_t n = 0; n <= cd::kMaxDiscSectors; n += 7) ASSERT_EQ(cd::msToSectors(cd::sectorsToMs(n)), n) << n;
}

// Before the first track counts as its start; the lead-out and beyond as the end of the last.
TEST(CdTime, TrackTimesBothWaysAndTracksBySector) {
    const std::pair<std::int32_t, mci::DWORD> cases[] = {
        {150, MCI_MAKE_TMSF(1, 0, 0, 0)},   {4499, MCI_MAKE_TMSF(1, 0, 57, 74)},
        {4500, MCI_MAKE_TMSF(2, 0, 0, 0)},  {4500 + 75 * 31 + 3, MCI_MAKE_TMSF(2, 0, 31, 3)},
        {7999, MCI_MAKE_TMSF(3, 0, 6, 49)}, {8000, MCI_MAKE_TMSF(3, 0, 6, 50)}};
    for (const auto& [lba, tmsf] : cases) {
        EXPECT_EQ(cd::lbaToTmsf(kToc, lba), tmsf) << lba;
        EXPECT_EQ(cd::tmsfToLba(kToc, tmsf), lba) << lba;
    }
    EXPECT_EQ(cd::lbaToTmsf(kToc, 0), MCI_MAKE_TMSF(1, 0, 0, 0));
    EXPECT_EQ(cd::lbaToTmsf(kToc, 9000), MCI_MAKE_TMSF(3, 0, 6, 50));
    EXPECT_EQ(cd::lbaToTmsf(cd::Toc{}, 100), 0u);
    EXPECT_EQ(cd::tmsfToLba(kToc, MCI_MAKE_TMSF(2, 0, 40, 0)), 7500);  // the end of track 2
    EXPECT_EQ(kToc.find(2)->startLba, 4500);
    EXPECT_EQ(kToc.find(4), nullptr);
    EXPECT_EQ(kToc.trackAt(149), nullptr);
    EXPECT_EQ(kToc.trackAt(8000), nullptr);
    for (const mci::DWORD refused : {MCI_MAKE_TMSF(2, 0, 40, 1), MCI_MAKE_TMSF(0, 0, 0, 0), MCI_MAKE_TMSF(4, 0, 0, 0),
                                     MCI_MAKE_TMSF(1, 0, 60, 0), MCI_MAKE_TMSF(1, 0, 0, 75)})
        EXPECT_FALSE(cd::tmsfToLba(kToc, refused)) << std::hex << refused;
}

}  // namespace
