#include "platform/mcidev/cd/image_disc.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/mcidev/cd/cd_time.h"
#include "tests/cd/cd_test_folder.h"
#include "tests/support/cd_image_writer.h"

namespace cd = mcidev::cd;

namespace {

// Every sample of [lba, lba + sectors) as the disc returns it, checked against what
// the writer put there.
void expectSectors(cd::Disc& disc, const cdtest::WrittenImage& image, std::int32_t lba, int sectors) {
    std::vector<std::uint8_t> buf(static_cast<std::size_t>(sectors) * cd::kBytesPerSector);
    ASSERT_TRUE(disc.readAudio(lba, sectors, buf.data())) << "lba " << lba;
    for (int s = 0; s < sectors; ++s)
        for (int f = 0; f < cd::kSampleFramesPerSector; ++f)
            for (int ch = 0; ch < 2; ++ch) {
                const std::size_t at = (static_cast<std::size_t>(s) * cd::kSampleFramesPerSector + f) * 4 + ch * 2;
                const auto got = static_cast<std::int16_t>(buf[at] | (buf[at + 1] << 8));
                ASSERT_EQ(got, cdtest::discSample(image, lba + s, f, ch))
                    << "lba " << lba + s << " frame " << f << " channel " << ch;
            }
}

std::unique_ptr<cd::ImageDisc> openDisc(const std::filesystem::path& cue) {
    std::string error;
    auto disc = cd::ImageDisc::open(cue, error);
    EXPECT_NE(disc, nullptr) << error;
    return disc;
}

using ImageDiscTest = cdtest::ImageFolderTest;

struct Layout {
    const char* name;
    cdtest::DiscPlan plan;
};

class ImageLayouts : public cdtest::ImageFolderTest, public testing::WithParamInterface<Layout> {};

TEST_P(ImageLayouts, WholeDiscReadsBackExactly) {
    const cdtest::WrittenImage image = cdtest::writeImage(folder_, GetParam().plan);
    auto disc = openDisc(image.cue);
    ASSERT_NE(disc, nullptr);
    EXPECT_EQ(disc->toc(), image.toc);
    expectSectors(*disc, image, 0, image.toc.leadoutLba);
}

using T = cdtest::TrackPlan;

INSTANTIATE_TEST_SUITE_P(
    Images, ImageLayouts,
    testing::Values(
        Layout{"TwoToneTracks",
               {{T{.sectors = 150, .kind = cdtest::SampleKind::Tone},
                 T{.sectors = 225, .kind = cdtest::SampleKind::Tone, .toneHz = 660}}}},
        Layout{"IndexZeroAndPregap",
               {{T{.sectors = 10, .indexZeroSectors = 3}, T{.sectors = 7, .indexZeroSectors = 4, .pregapSectors = 5},
                 T{.sectors = 9, .pregapSectors = 2}}}},
        Layout{"FilePerTrack",
               {{T{.sectors = 10, .indexZeroSectors = 2}, T{.sectors = 7, .indexZeroSectors = 4, .pregapSectors = 3},
                 T{.sectors = 5}},
                true}},
        Layout{"BigEndian", {{T{.sectors = 6}, T{.sectors = 5, .indexZeroSectors = 2}}, false, true}},
        Layout{"DataTrackFirst",
               {{T{.sectors = 8, .audio = false}, T{.sectors = 6, .pregapSectors = 2}, T{.sectors = 4}}}},
        Layout{"HiddenAudioBeforeTrackOne", {{T{.sectors = 5, .indexZeroSectors = 4}, T{.sectors = 5}}}}),
    [](const testing::TestParamInfo<Layout>& info) { return std::string(info.param.name); });

TEST_F(ImageDiscTest, ReadsOutsideTheDiscFail) {
    const cdtest::WrittenImage image = cdtest::writeTwoTrackImage(folder_);
    auto disc = openDisc(image.cue);
    ASSERT_NE(disc, nullptr);
    std::vector<std::uint8_t> buf(2 * cd::kBytesPerSector);
    EXPECT_FALSE(disc->readAudio(-1, 1, buf.data()));
    EXPECT_FALSE(disc->readAudio(374, 2, buf.data()));
    EXPECT_FALSE(disc->readAudio(375, 1, buf.data()));
    EXPECT_FALSE(disc->readAudio(0, -1, buf.data()));
    EXPECT_TRUE(disc->readAudio(375, 0, buf.data()));
}

TEST_F(ImageDiscTest, EjectTakesTheDiscOutAndInsertPutsItBack) {
    const cdtest::WrittenImage image = cdtest::writeTwoTrackImage(folder_);
    auto disc = openDisc(image.cue);
    ASSERT_NE(disc, nullptr);
    EXPECT_EQ(disc->state(), cd::DiscState::Ready);
    EXPECT_EQ(disc->stateText(), "");
    EXPECT_EQ(disc->name(), image.cue.string());
    EXPECT_EQ(disc->toc().tracks[1], (cd::TrackInfo{2, 150, 225, true}));
    EXPECT_TRUE(disc->canEject());
    ASSERT_TRUE(disc->eject());
    EXPECT_EQ(disc->state(), cd::DiscState::NoDisc);
    EXPECT_EQ(disc->stateText(), cd::kNoDiscText);
    EXPECT_TRUE(disc->toc().empty());
    std::vector<std::uint8_t> buf(cd::kBytesPerSector);
    EXPECT_FALSE(disc->readAudio(0, 1, buf.data()));
    EXPECT_FALSE(disc->refresh());
    disc->insert();
    EXPECT_EQ(disc->state(), cd::DiscState::Ready);
    expectSectors(*disc, image, 0, 1);
}

TEST_F(ImageDiscTest, ABinFileCutShortAfterOpeningFailsTheRead) {
    const cdtest::WrittenImage image = cdtest::writeTwoTrackImage(folder_);
    auto disc = openDisc(image.cue);
    ASSERT_NE(disc, nullptr);
    std::filesystem::resize_file(image.bins[0], 100 * cd::kBytesPerSector);
    std::vector<std::uint8_t> buf(cd::kBytesPerSector);
    EXPECT_FALSE(disc->readAudio(300, 1, buf.data()));
    EXPECT_TRUE(disc->readAudio(99, 1, buf.data()));
}

TEST_F(ImageDiscTest, FindsABinNamedWithAForeignPathBesideTheSheet) {
    cdtest::WrittenImage image = cdtest::writeTwoTrackImage(folder_);
    std::ofstream(image.cue) << "FILE \"C:\\rips\\old place\\disc.bin\" BINARY\n"
                                "TRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:02:00\n";
    auto disc = openDisc(image.cue);
    ASSERT_NE(disc, nullptr);
    EXPECT_EQ(disc->toc(), image.toc);
}

TEST_F(ImageDiscTest, OpenFailuresExplainThemselves) {
    std::string error;
    EXPECT_EQ(cd::ImageDisc::open(folder_ / "none.cue", error), nullptr);
    EXPECT_EQ(error, "The disc image 'none.cue' cannot be read.");
    EXPECT_EQ(cd::ImageDisc::open(folder_, error), nullptr);
    EXPECT_NE(error.find("cannot be read"), std::string::npos);

    std::ofstream(folder_ / "missing.cue") << "FILE \"gone.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n";
    EXPECT_EQ(cd::ImageDisc::open(folder_ / "missing.cue", error), nullptr);
    EXPECT_EQ(error, "The disc image 'missing.cue' names the file 'gone.bin', which cannot be opened.");

    std::ofstream(folder_ / "damaged.cue") << "FILE \"gone.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:61:00\n";
    EXPECT_EQ(cd::ImageDisc::open(folder_ / "damaged.cue", error), nullptr);
    EXPECT_EQ(error, "The disc image 'damaged.cue' is damaged: line 3: the seconds of a time must be below 60.");

    const cdtest::WrittenImage image = cdtest::writeTwoTrackImage(folder_, "short");
    std::filesystem::resize_file(image.bins[0], 100 * cd::kBytesPerSector);
    EXPECT_EQ(cd::ImageDisc::open(image.cue, error), nullptr);
    EXPECT_EQ(error, "The disc image 'short.cue' is damaged: line 9: INDEX 01 of track 02 lies beyond the end "
                     "of 'short.bin'.");
}

}  // namespace
