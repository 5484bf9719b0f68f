// Disc images: reads stay within the disc, and the audio source plays any stretch of it
// exactly as written, or fails when the disc cannot give it.
#include "platform/mcidev/cd/image_disc.h"

#include <gtest/gtest.h>

#include <array>

#include "platform/mcidev/cd/cd_audio_source.h"
#include "platform/mcidev/cd/cd_time.h"
#include "tests/support/cd_image_writer.h"
#include "tests/support/temp_folder.h"

namespace cd = mcidev::cd;

namespace {

constexpr std::uint64_t kSpf = cd::kSampleFramesPerSector;
using T = cdtest::TrackPlan;

class ImageDiscTest : public testing::Test {
protected:
    std::shared_ptr<cd::ImageDisc> open(const std::vector<T>& tracks) {
        image = cdtest::writeImage(folder.path(), tracks);
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

    mcitest::TempFolder folder;
    cdtest::WrittenImage image;
};

TEST_F(ImageDiscTest, ReadsOnlyWhatIsOnTheDisc) {
    auto disc = open({T{.sectors = 150}, T{.sectors = 225}});
    EXPECT_EQ(disc->toc(), image.toc);
    std::vector<std::uint8_t> buf(2 * cd::kBytesPerSector);
    for (const auto& [lba, sectors] : {std::pair{-1, 1}, {374, 2}, {375, 1}, {0, -1}})
        EXPECT_FALSE(disc->readAudio(lba, sectors, buf.data())) << lba;
    EXPECT_TRUE(disc->readAudio(373, 2, buf.data()));
    // A bin file cut short after the opening.
    std::filesystem::resize_file(image.bin, 100 * cd::kBytesPerSector);
    EXPECT_FALSE(disc->readAudio(300, 1, buf.data()));
    EXPECT_TRUE(disc->readAudio(99, 1, buf.data()));
}

// Sectors 5 to 70 of two tracks of 40 and 30, read in pieces of every awkward size, then
// at every sector edge after a seek that has to leave what was read ahead.
TEST_F(ImageDiscTest, TheAudioSourcePlaysAnyStretchInPiecesOfAnySize) {
    auto disc = open({T{40}, T{30}});
    cd::CdAudioSource source(disc, 5, 70);
    ASSERT_EQ(source.lengthFrames(), 65 * kSpf);
    std::vector<std::int16_t> all(65 * kSpf * 2);
    std::size_t done = 0;
    for (std::size_t i = 0, n = 1; done < 65 * kSpf && n > 0; done += n, ++i) {
        const std::size_t piece = std::array<std::size_t, 7>{1, 587, 588, 589, 1000, 13, 5000}[i % 7];
        n = source.read(all.data() + done * 2, std::min(piece, 65 * kSpf - done));
    }
    ASSERT_EQ(done, 65 * kSpf);
    expectFrames(all.data(), 5, 0, done);
    EXPECT_EQ(source.read(all.data(), 4), 0u);
    for (const std::uint64_t frame : {std::uint64_t{0}, kSpf - 1, kSpf, 25 * kSpf, 65 * kSpf - 1}) {
        ASSERT_TRUE(source.seek(frame));
        const std::size_t want = std::min<std::uint64_t>(3, 65 * kSpf - frame);
        ASSERT_EQ(source.read(all.data(), 3), want);
        expectFrames(all.data(), 5, frame, want);
    }
    EXPECT_FALSE(source.seek(65 * kSpf + 1));
    EXPECT_FALSE(source.failed());
    EXPECT_EQ(cd::CdAudioSource(disc, 20, 10).lengthFrames(), 0u);
}

// What the disc cannot give ends the play as failed: sectors past the lead-out, or all
// once the disc is out. A seek after the disc is back plays again.
TEST_F(ImageDiscTest, TheAudioSourceFailsOnWhatTheDiscCannotGive) {
    auto disc = open({T{40}, T{30}});
    std::vector<std::int16_t> buf(70 * kSpf * 2);
    cd::CdAudioSource past(disc, 65, 80);
    EXPECT_EQ(past.read(buf.data(), 15 * kSpf), 5 * kSpf);
    EXPECT_TRUE(past.failed());
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
