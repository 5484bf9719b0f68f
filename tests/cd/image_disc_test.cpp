#include "platform/mcidev/cd/image_disc.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/mcidev/cd/cd_time.h"
#include "tests/support/cd_image_writer.h"
#include "tests/support/temp_folder.h"

namespace cd = mcidev::cd;

namespace {

// Every sample of [lba, lba + sectors) as the disc returns it, checked against what
// the writer put there.
void expectSectors(cd::Disc& disc, const cdtest::WrittenImage& image, std::int32_t lba, int sectors) {
    std::vector<std::uint8_t> buf(static_cast<std::size_t>(sectors) * cd::kBytesPerSector);
    ASSERT_TRUE(disc.readAudio(lba, sectors, buf.data())) << "lba " << lba;
    for (std::size_t at = 0; at < buf.size(); at += 2) {
        const auto sector = static_cast<std::int32_t>(at / cd::kBytesPerSector);
        const int frame = static_cast<int>(at % cd::kBytesPerSector / 4);
        ASSERT_EQ(static_cast<std::int16_t>(buf[at] | (buf[at + 1] << 8)),
                  cdtest::discSample(image, lba + sector, frame, at / 2 % 2))
            << "lba " << lba + sector << " frame " << frame;
    }
}

class ImageDiscTest : public testing::Test {
protected:
    std::unique_ptr<cd::ImageDisc> open(const std::filesystem::path& cue) {
        std::string error;
        auto disc = cd::ImageDisc::open(cue, error);
        EXPECT_NE(disc, nullptr) << error;
        return disc;
    }
    mcitest::TempFolder folder;
};

struct Layout {
    const char* name;
    cdtest::DiscPlan plan;
};

void PrintTo(const Layout& layout, std::ostream* os) { *os << layout.name; }

class ImageLayouts : public ImageDiscTest, public testing::WithParamInterface<Layout> {};

TEST_P(ImageLayouts, WholeDiscReadsBackExactly) {
    const cdtest::WrittenImage image = cdtest::writeImage(folder.path(), GetParam().plan);
    auto disc = open(image.cue);
    ASSERT_NE(disc, nullptr);
    EXPECT_EQ(disc->toc(), image.toc);
    expectSectors(*disc, image, 0, image.toc.leadoutLba);
}

using T = cdtest::TrackPlan;

INSTANTIATE_TEST_SUITE_P(
    Images, ImageLayouts,
    testing::Values(
        Layout{"TwoToneTracks",
               {{T{.sectors = 15, .kind = cdtest::SampleKind::Tone},
                 T{.sectors = 22, .kind = cdtest::SampleKind::Tone, .toneHz = 660}}}},
        Layout{"IndexZeroAndPregap",
               {{T{.sectors = 10, .indexZeroSectors = 3}, T{.sectors = 7, .indexZeroSectors = 4, .pregapSectors = 5},
                 T{.sectors = 9, .pregapSectors = 2}}}},
        Layout{"FilePerTrack",
               {{T{.sectors = 10, .indexZeroSectors = 2}, T{.sectors = 7, .indexZeroSectors = 4, .pregapSectors = 3},
                 T{.sectors = 5}},
                true}},
        Layout{"BigEndian", {{T{.sectors = 6}, T{.sectors = 5, .indexZeroSectors = 2}}, false, true}},
        Layout{"DataTrackFirst",
               {{T{.sectors = 8, .audio = false}, T{.sectors = 6, .pregapSectors = 2}, T{.sectors = 4}}}}),
    [](const testing::TestParamInfo<Layout>& info) { return std::string(info.param.name); });

TEST_F(ImageDiscTest, ReadsOnlyWhatIsInTheTray) {
    const cdtest::WrittenImage image = cdtest::writeTwoTrackImage(folder.path());
    auto disc = open(image.cue);
    ASSERT_NE(disc, nullptr);
    EXPECT_EQ(disc->name(), image.cue.string());
    std::vector<std::uint8_t> buf(2 * cd::kBytesPerSector);
    for (const auto& [lba, sectors] : {std::pair{-1, 1}, {374, 2}, {375, 1}, {0, -1}})
        EXPECT_FALSE(disc->readAudio(lba, sectors, buf.data())) << lba;
    EXPECT_TRUE(disc->readAudio(375, 0, buf.data()));
    ASSERT_TRUE(disc->eject());
    EXPECT_EQ(disc->state(), cd::DiscState::NoDisc);
    EXPECT_TRUE(disc->toc().empty());
    EXPECT_FALSE(disc->readAudio(0, 1, buf.data()));
    EXPECT_FALSE(disc->refresh());
    disc->insert();
    EXPECT_EQ(disc->state(), cd::DiscState::Ready);
    expectSectors(*disc, image, 0, 1);
    // A bin file cut short after the opening.
    std::filesystem::resize_file(image.bins[0], 100 * cd::kBytesPerSector);
    EXPECT_FALSE(disc->readAudio(300, 1, buf.data()));
    EXPECT_TRUE(disc->readAudio(99, 1, buf.data()));
}

// Images are often moved away from the paths their sheet was written with.
TEST_F(ImageDiscTest, FindsABinNamedWithAForeignPathBesideTheSheet) {
    cdtest::WrittenImage image = cdtest::writeTwoTrackImage(folder.path());
    std::ofstream(image.cue) << "FILE \"C:\\rips\\old place\\disc.bin\" BINARY\n"
                                "TRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:02:00\n";
    auto disc = open(image.cue);
    ASSERT_NE(disc, nullptr);
    EXPECT_EQ(disc->toc(), image.toc);
}

TEST_F(ImageDiscTest, OpenFailuresExplainThemselves) {
    std::string error;
    EXPECT_EQ(cd::ImageDisc::open(folder / "none.cue", error), nullptr);
    EXPECT_EQ(error, "The disc image 'none.cue' cannot be read.");
    EXPECT_EQ(cd::ImageDisc::open(folder.path(), error), nullptr);
    EXPECT_NE(error.find("cannot be read"), std::string::npos);
    std::ofstream(folder / "missing.cue") << "FILE \"gone.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n";
    EXPECT_EQ(cd::ImageDisc::open(folder / "missing.cue", error), nullptr);
    EXPECT_EQ(error, "The disc image 'missing.cue' names the file 'gone.bin', which cannot be opened.");
    std::ofstream(folder / "damaged.cue") << "TRACK 01 AUDIO\n";
    EXPECT_EQ(cd::ImageDisc::open(folder / "damaged.cue", error), nullptr);
    EXPECT_EQ(error, "The disc image 'damaged.cue' is damaged: line 1: TRACK comes before any FILE.");
    const cdtest::WrittenImage image = cdtest::writeTwoTrackImage(folder.path(), "short");
    std::filesystem::resize_file(image.bins[0], 100 * cd::kBytesPerSector);
    EXPECT_EQ(cd::ImageDisc::open(image.cue, error), nullptr);
    EXPECT_EQ(error, "The disc image 'short.cue' is damaged: line 7: INDEX 01 of track 02 lies beyond the end "
                     "of 'short.bin'.");
}

}  // namespace
