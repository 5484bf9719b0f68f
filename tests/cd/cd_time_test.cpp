#include "platform/mcidev/cd/cd_time.h"

#include <gtest/gtest.h>

namespace cd = mcidev::cd;

namespace {

// Track 1 starts after 150 sectors of hidden audio; track 2 at 1:00:00 of disc time.
cd::Toc threeTracks() {
    cd::Toc t;
    t.tracks = {{1, 150, 4350, true}, {2, 4500, 3000, true}, {3, 7500, 500, false}};
    t.leadoutLba = 8000;
    return t;
}

TEST(CdTime, AbsoluteMsfCountsTheLeadIn) {
    EXPECT_EQ(cd::lbaToMsf(0), (cd::Msf{0, 2, 0}));
    EXPECT_EQ(cd::lbaToMsf(-150), (cd::Msf{0, 0, 0}));
    EXPECT_EQ(cd::lbaToMsf(74), (cd::Msf{0, 2, 74}));
    EXPECT_EQ(cd::lbaToMsf(4350), (cd::Msf{1, 0, 0}));
    EXPECT_EQ(cd::lbaToMsf(cd::kMaxDiscSectors - 1), (cd::Msf{99, 59, 74}));
    EXPECT_EQ(cd::msfToLba(cd::Msf{0, 2, 0}), 0);
    EXPECT_EQ(cd::msfToLba(cd::Msf{0, 0, 0}), -150);
    for (std::int32_t lba : {-150, 0, 1, 74, 75, 4499, 4500, 449849})
        EXPECT_EQ(cd::msfToLba(cd::lbaToMsf(lba)), lba);
    // Packing and the component limits are checked through tmsfToLba and the device.
    EXPECT_TRUE((cd::Msf{255, 59, 74}).valid());
}

TEST(CdTime, MillisecondsRoundToTheNearestAndSurviveTheRoundTrip) {
    EXPECT_EQ(cd::sectorsToMs(0), 0u);
    EXPECT_EQ(cd::sectorsToMs(1), 13u);   // 13.33
    EXPECT_EQ(cd::sectorsToMs(2), 27u);   // 26.67
    EXPECT_EQ(cd::sectorsToMs(75), 1000u);
    EXPECT_EQ(cd::sectorsToMs(-5), 0u);
    EXPECT_EQ(cd::msToSectors(0), 0);
    EXPECT_EQ(cd::msToSectors(6), 0);
    EXPECT_EQ(cd::msToSectors(7), 1);
    EXPECT_EQ(cd::msToSectors(0xFFFFFFFFu), 322122547);
    for (std::int64_t n = 0; n <= cd::kMaxDiscSectors; n += 7)
        ASSERT_EQ(cd::msToSectors(cd::sectorsToMs(n)), n) << n;
}

struct TmsfCase {
    std::int32_t lba;
    mci::DWORD tmsf;
};

class TmsfFromLba : public testing::TestWithParam<TmsfCase> {};

TEST_P(TmsfFromLba, GivesTrackAndOffset) {
    EXPECT_EQ(cd::lbaToTmsf(threeTracks(), GetParam().lba), GetParam().tmsf);
}

INSTANTIATE_TEST_SUITE_P(Edges, TmsfFromLba,
                         testing::Values(TmsfCase{150, mci::MCI_MAKE_TMSF(1, 0, 0, 0)},
                                         TmsfCase{0, mci::MCI_MAKE_TMSF(1, 0, 0, 0)},  // hidden audio
                                         TmsfCase{-10, mci::MCI_MAKE_TMSF(1, 0, 0, 0)},
                                         TmsfCase{4499, mci::MCI_MAKE_TMSF(1, 0, 57, 74)},
                                         TmsfCase{4500, mci::MCI_MAKE_TMSF(2, 0, 0, 0)},
                                         TmsfCase{4500 + 75 * 31 + 3, mci::MCI_MAKE_TMSF(2, 0, 31, 3)},
                                         TmsfCase{7999, mci::MCI_MAKE_TMSF(3, 0, 6, 49)},
                                         TmsfCase{8000, mci::MCI_MAKE_TMSF(3, 0, 6, 50)},  // the end
                                         TmsfCase{9000, mci::MCI_MAKE_TMSF(3, 0, 6, 50)}));

TEST(CdTime, TmsfToLbaFindsTheSectorOrRefuses) {
    const cd::Toc toc = threeTracks();
    EXPECT_EQ(cd::tmsfToLba(toc, mci::MCI_MAKE_TMSF(1, 0, 0, 0)), 150);
    EXPECT_EQ(cd::tmsfToLba(toc, mci::MCI_MAKE_TMSF(2, 0, 40, 0)), 7500);  // the end of track 2
    EXPECT_EQ(cd::tmsfToLba(toc, mci::MCI_MAKE_TMSF(3, 0, 6, 50)), 8000);
    EXPECT_FALSE(cd::tmsfToLba(toc, mci::MCI_MAKE_TMSF(2, 0, 40, 1)));
    EXPECT_FALSE(cd::tmsfToLba(toc, mci::MCI_MAKE_TMSF(0, 0, 0, 0)));
    EXPECT_FALSE(cd::tmsfToLba(toc, mci::MCI_MAKE_TMSF(4, 0, 0, 0)));
    EXPECT_FALSE(cd::tmsfToLba(toc, mci::MCI_MAKE_TMSF(1, 0, 60, 0)));
    EXPECT_FALSE(cd::tmsfToLba(toc, mci::MCI_MAKE_TMSF(1, 0, 0, 75)));
    EXPECT_FALSE(cd::tmsfToLba(cd::Toc{}, mci::MCI_MAKE_TMSF(1, 0, 0, 0)));
    EXPECT_EQ(cd::lbaToTmsf(cd::Toc{}, 100), 0u);
}

TEST(Toc, FindsTracksByNumberAndBySector) {
    const cd::Toc toc = threeTracks();
    EXPECT_TRUE(toc.consistent());
    EXPECT_EQ(toc.find(2)->startLba, 4500);
    EXPECT_EQ(toc.find(0), nullptr);
    EXPECT_EQ(toc.find(4), nullptr);
    EXPECT_EQ(toc.trackAt(149), nullptr);
    EXPECT_EQ(toc.trackAt(4499)->number, 1);
    EXPECT_EQ(toc.trackAt(4500)->number, 2);
    EXPECT_EQ(toc.trackAt(7999)->number, 3);
    EXPECT_EQ(toc.trackAt(8000), nullptr);
    EXPECT_EQ(toc.lengthSectors(), 7850);
    cd::Toc gap = toc;
    gap.tracks[1].startLba += 1;
    EXPECT_FALSE(gap.consistent());
}

}  // namespace
