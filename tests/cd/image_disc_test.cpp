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

using ImageDiscTest = cdtest::ImageFolderTest;

TEST_F(ImageDiscTest, TwoTrackImageGivesItsTableAndItsSamples) {
    const cdtest::WrittenImage image = cdtest::writeTwoTrackImage(folder_);
    std::string error;
    auto disc = cd::ImageDisc::open(image.cue, error);
    ASSERT_NE(disc, nullptr) << error;
    EXPECT_EQ(disc->state(), cd::DiscState::Ready);
    EXPECT_EQ(disc->stateText(), "");
    EXPECT_EQ(disc->name(), image.cue.string());
    const cd::Toc toc = disc->toc();
    EXPECT_EQ(toc, image.toc);
    EXPECT_EQ(toc.tracks[1], (cd::TrackInfo{2, 150, 225, true}));
    // Both edges of both tracks, and a read across the boundary.
    expectSectors(*disc, image, 0, 1);
    expectSectors(*disc, image, 148, 4);
    expectSectors(*disc, image, 374, 1);
}

struct Layout {
    const char* name;
    cdtest::DiscPlan plan;
};

class ImageLayouts : public cdtest::ImageFolderTest, public testing::WithParamInterface<Layout> {};

TEST_P(ImageLayouts, WholeDiscReadsBackExactly) {
    const cdtest::WrittenImage image = cdtest::writeImage(folder_, GetParam().plan);
    std::string error;
    auto disc = cd::ImageDisc::open(image.cue, error);
    ASSERT_NE(disc, nullptr) << error;
    EXPECT_EQ(disc->toc(), image.toc);
    expectSectors(*disc, image, 0, image.toc.leadoutLba);
}

cdtest::TrackPlan track(int sectors, int indexZero = 0, int pregap = 0, bool audio = true) {
    cdtest::TrackPlan t;
    t.sectors = sectors;
    t.indexZeroSectors = indexZero;
    t.pregapSectors = pregap;
    t.audio = audio;
    return t;
}

cdtest::DiscPlan discPlan(std::vector<cdtest::TrackPlan> tracks, bool filePerTrack = false, bool bigEndian = false) {
    cdtest::DiscPlan s;
    s.tracks = std::move(tracks);
    s.filePerTrack = filePerTrack;
    s.bigEndian = bigEndian;
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Images, ImageLayouts,
    testing::Values(Layout{"IndexZeroAndPregap", discPlan({track(10, 3), track(7, 4, 5), track(9, 0, 2)})},
                    Layout{"FilePerTrack", discPlan({track(10, 2), track(7, 4, 3), track(5)}, true)},
                    Layout{"BigEndian", discPlan({track(6), track(5, 2)}, false, true)},
                    Layout{"DataTrackFirst", discPlan({track(8, 0, 0, false), track(6, 0, 2), track(4)})},
                    Layout{"HiddenAudioBeforeTrackOne", discPlan({track(5, 4), track(5)})}),
    [](const testing::TestParamInfo<Layout>& info) { return std::string(info.param.name); });

TEST_F(ImageDiscTest, ReadsOutsideTheDiscFail) {
    const cdtest::WrittenImage image = cdtest::writeTwoTrackImage(folder_);
    std::string error;
    auto disc = cd::ImageDisc::open(image.cue, error);
    ASSERT_NE(disc, nullptr) << error;
    std::vector<std::uint8_t> buf(2 * cd::kBytesPerSector);
    EXPECT_FALSE(disc->readAudio(-1, 1, buf.data()));
    EXPECT_FALSE(disc->readAudio(374, 2, buf.data()));
    EXPECT_FALSE(disc->readAudio(375, 1, buf.data()));
    EXPECT_FALSE(disc->readAudio(0, -1, buf.data()));
    EXPECT_TRUE(disc->readAudio(375, 0, buf.data()));
}

TEST_F(ImageDiscTest, EjectTakesTheDiscOutAndInsertPutsItBack) {
    const cdtest::WrittenImage image = cdtest::writeTwoTrackImage(folder_);
    std::string error;
    auto disc = cd::ImageDisc::open(image.cue, error);
    ASSERT_NE(disc, nullptr) << error;
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
    std::string error;
    auto disc = cd::ImageDisc::open(image.cue, error);
    ASSERT_NE(disc, nullptr) << error;
    std::filesystem::resize_file(image.bins[0], 100 * cd::kBytesPerSector);
    std::vector<std::uint8_t> buf(cd::kBytesPerSector);
    EXPECT_FALSE(disc->readAudio(300, 1, buf.data()));
    EXPECT_TRUE(disc->readAudio(99, 1, buf.data()));
}

TEST_F(ImageDiscTest, FindsABinNamedWithAForeignPathBesideTheSheet) {
    cdtest::WrittenImage image = cdtest::writeTwoTrackImage(folder_);
    std::ofstream(image.cue) << "FILE \"C:\\rips\\old place\\disc.bin\" BINARY\n"
                                "TRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:02:00\n";
    std::string error;
    auto disc = cd::ImageDisc::open(image.cue, error);
    ASSERT_NE(disc, nullptr) << error;
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
