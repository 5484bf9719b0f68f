// Disc images: the whole disc reads back exactly as written whatever its layout, reads
// stay within the disc in the tray, and the audio source plays stretches of it.
#include "platform/mcidev/cd/image_disc.h"

#include <gtest/gtest.h>

#include <array>
#include <fstream>

#include "platform/mcidev/cd/cd_audio_source.h"
#include "platform/mcidev/cd/cd_time.h"
#include "tests/support/cd_image_writer.h"
#include "tests/support/temp_folder.h"

namespace cd = mcidev::cd;

namespace {

constexpr std::uint64_t kSpf = cd::kSampleFramesPerSector;

class ImageDiscTest : public testing::Test {
protected:
    std::shared_ptr<cd::ImageDisc> open(const cdtest::WrittenImage& written) {
        image = written;
        std::string error;
        std::shared_ptr<cd::ImageDisc> disc = cd::ImageDisc::open(image.cue, error);
        EXPECT_NE(disc, nullptr) << error;
        return disc;
    }
    // Checks stereo frames that begin `firstFrame` frames after the start of sector `lba`.
    void expectFrames(const std::int16_t* got, std::int32_t lba, std::uint64_t firstFrame, std::size_t frames) {
        for (std::uint64_t f = firstFrame; f < firstFrame + frames; ++f)
            for (int ch = 0; ch < 2; ++ch)
                ASSERT_EQ(*got++, cdtest::discSample(image, lba + static_cast<std::int32_t>(f / kSpf), f % kSpf, ch))
                    << "sector " << lba + f / kSpf << " frame " << f % kSpf << " channel " << ch;
    }
    void expectSectors(cd::Disc& disc, std::int32_t lba, int sectors) {
        std::vector<std::int16_t> pcm(static_cast<std::size_t>(sectors) * kSpf * 2);
        ASSERT_TRUE(disc.readAudio(lba, sectors, reinterpret_cast<std::uint8_t*>(pcm.data())));
        expectFrames(pcm.data(), lba, 0, pcm.size() / 2);
    }

    mcitest::TempFolder folder;
    cdtest::WrittenImage image;
};

struct Layout {
    const char* name;
    cdtest::DiscPlan plan;
};

void PrintTo(const Layout& layout, std::ostream* os) { *os << layout.name; }

class ImageLayouts : public ImageDiscTest, public testing::WithParamInterface<Layout> {};

TEST_P(ImageLayouts, WholeDiscReadsBackExactly) {
    auto disc = open(cdtest::writeImage(folder.path(), GetParam().plan));
    ASSERT_NE(disc, nullptr);
    EXPECT_EQ(disc->toc(), image.toc);
    expectSectors(*disc, 0, image.toc.leadoutLba);
}

using T = cdtest::TrackPlan;

INSTANTIATE_TEST_SUITE_P(
    Images, ImageLayouts,
    testing::Values(Layout{"TwoToneTracks",
                           {{T{.sectors = 15, .kind = cdtest::SampleKind::Tone},
                             T{.sectors = 22, .kind = cdtest::SampleKind::Tone, .toneHz = 660}}}},
                    Layout{"IndexZeroAndPregap",
                           {{T{.sectors = 10, .indexZeroSectors = 3},
                             T{.sectors = 7, .indexZeroSectors = 4, .pregapSectors = 5},
                             T{.sectors = 9, .pregapSectors = 2}}}},
                    Layout{"FilePerTrack",
                           {{T{.sectors = 10, .indexZeroSectors = 2},
                             T{.sectors = 7, .indexZeroSectors = 4, .pregapSectors = 3}, T{.sectors = 5}},
                            true}},
                    Layout{"BigEndian", {{T{.sectors = 6}, T{.sectors = 5, .indexZeroSectors = 2}}, false, true}},
                    Layout{"DataTrackFirst",
                           {{T{.sectors = 8, .audio = false}, T{.sectors = 6, .pregapSectors = 2}, T{.sectors = 4}}}}),
    [](const testing::TestParamInfo<Layout>& info) { return std::string(info.param.name); });

TEST_F(ImageDiscTest, ReadsOnlyWhatIsInTheTray) {
    auto disc = open(cdtest::writeTwoTrackImage(folder.path()));
    ASSERT_NE(disc, nullptr);
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
    expectSectors(*disc, 0, 1);
    // A bin file cut short after the opening.
    std::filesystem::resize_file(image.bins[0], 100 * cd::kBytesPerSector);
    EXPECT_FALSE(disc->readAudio(300, 1, buf.data()));
    EXPECT_TRUE(disc->readAudio(99, 1, buf.data()));
}

// Images are often moved away from the paths their sheet was written with.
TEST_F(ImageDiscTest, FindsABinNamedWithAForeignPathBesideTheSheet) {
    const cdtest::WrittenImage written = cdtest::writeTwoTrackImage(folder.path());
    std::ofstream(written.cue) << "FILE \"C:\\rips\\old place\\disc.bin\" BINARY\n"
                                  "TRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:02:00\n";
    auto disc = open(written);
    ASSERT_NE(disc, nullptr);
    EXPECT_EQ(disc->toc(), written.toc);
}

TEST_F(ImageDiscTest, OpenFailuresExplainThemselves) {
    std::string error;
    EXPECT_EQ(cd::ImageDisc::open(folder / "none.cue", error), nullptr);
    EXPECT_EQ(error, "The disc image 'none.cue' cannot be read.");
    std::ofstream(folder / "missing.cue") << "FILE \"gone.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n";
    EXPECT_EQ(cd::ImageDisc::open(folder / "missing.cue", error), nullptr);
    EXPECT_EQ(error, "The disc image 'missing.cue' names the file 'gone.bin', which cannot be opened.");
    std::ofstream(folder / "damaged.cue") << "TRACK 01 AUDIO\n";
    EXPECT_EQ(cd::ImageDisc::open(folder / "damaged.cue", error), nullptr);
    EXPECT_EQ(error, "The disc image 'damaged.cue' is damaged: line 1: TRACK comes before any FILE.");
    const cdtest::WrittenImage written = cdtest::writeTwoTrackImage(folder.path(), "short");
    std::filesystem::resize_file(written.bins[0], 100 * cd::kBytesPerSector);
    EXPECT_EQ(cd::ImageDisc::open(written.cue, error), nullptr);
    EXPECT_EQ(error,
              "The disc image 'short.cue' is damaged: line 7: INDEX 01 of track 02 lies beyond the end "
              "of 'short.bin'.");
}

// Sectors 30 to 45 of two tracks of 40 and 30, read in pieces of every awkward size.
TEST_F(ImageDiscTest, TheAudioSourcePlaysARangeInPiecesOfAnySize) {
    auto disc = open(cdtest::writeImage(folder.path(), {{T{40}, T{30}}}));
    cd::CdAudioSource source(disc, 30, 45);
    ASSERT_EQ(source.lengthFrames(), 15 * kSpf);
    std::vector<std::int16_t> all(15 * kSpf * 2);
    std::size_t done = 0;
    for (std::size_t i = 0, n = 1; done < 15 * kSpf && n > 0; done += n, ++i) {
        const std::size_t piece = std::array<std::size_t, 7>{1, 587, 588, 589, 1000, 13, 5000}[i % 7];
        n = source.read(all.data() + done * 2, std::min(piece, 15 * kSpf - done));
    }
    ASSERT_EQ(done, 15 * kSpf);
    expectFrames(all.data(), 30, 0, done);
    EXPECT_EQ(source.read(all.data(), 4), 0u);
    EXPECT_FALSE(source.failed());
}

// After reading somewhere first, so that each seek has to leave what was read ahead.
TEST_F(ImageDiscTest, TheAudioSourceSeeksToTheFrameAtEverySectorEdge) {
    auto disc = open(cdtest::writeImage(folder.path(), {{T{40}, T{30}}}));
    cd::CdAudioSource source(disc, 5, 70);
    std::int16_t buf[6];
    for (const std::uint64_t frame : {std::uint64_t{0}, kSpf - 1, kSpf, 25 * kSpf - 1, 25 * kSpf, 65 * kSpf - 1}) {
        ASSERT_EQ(source.read(buf, 1), 1u);
        ASSERT_TRUE(source.seek(frame));
        const std::size_t want = std::min<std::uint64_t>(3, 65 * kSpf - frame);
        ASSERT_EQ(source.read(buf, 3), want);
        expectFrames(buf, 5, frame, want);
    }
    EXPECT_FALSE(source.seek(65 * kSpf + 1));
    EXPECT_EQ(source.positionFrames(), 65 * kSpf);
    EXPECT_EQ(cd::CdAudioSource(disc, 20, 10).lengthFrames(), 0u);
}

// What the disc cannot give ends the play as failed: sectors past the lead-out, or all
// once the disc is out. A seek after the disc is back plays again.
TEST_F(ImageDiscTest, TheAudioSourceFailsOnWhatTheDiscCannotGive) {
    auto disc = open(cdtest::writeImage(folder.path(), {{T{40}, T{30}}}));
    std::vector<std::int16_t> buf(70 * kSpf * 2);
    cd::CdAudioSource past(disc, 65, 80);
    EXPECT_EQ(past.read(buf.data(), 15 * kSpf), 5 * kSpf);
    EXPECT_TRUE(past.failed());
    expectFrames(buf.data(), 65, 0, 5 * kSpf);
    cd::CdAudioSource source(disc, 0, 70);
    ASSERT_EQ(source.read(buf.data(), kSpf), kSpf);
    disc->eject();
    EXPECT_LT(source.read(buf.data(), 70 * kSpf), 69 * kSpf);  // at most what was read ahead
    EXPECT_TRUE(source.failed());
    disc->insert();
    ASSERT_TRUE(source.seek(kSpf));
    EXPECT_FALSE(source.failed());
    ASSERT_EQ(source.read(buf.data(), 10), 10u);
    expectFrames(buf.data(), 0, kSpf, 10);
}

}  // namespace
