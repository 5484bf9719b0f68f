#include "platform/mcidev/cd/cd_audio_source.h"

#include <gtest/gtest.h>

#include "platform/mcidev/cd/cd_time.h"
#include "platform/mcidev/cd/image_disc.h"
#include "tests/support/cd_image_writer.h"
#include "tests/support/temp_folder.h"

namespace cd = mcidev::cd;

namespace {

constexpr std::uint64_t kSpf = cd::kSampleFramesPerSector;

// An image of two tracks, 40 and 30 sectors.
class CdAudioSourceTest : public testing::Test {
protected:
    void SetUp() override {
        std::string error;
        disc_ = cd::ImageDisc::open(image_.cue, error);
        ASSERT_NE(disc_, nullptr) << error;
    }

    // Checks `frames` frames read from the LBA `from`, the first of them at `firstFrame`.
    void expectFrames(const std::vector<std::int16_t>& got, std::int32_t from, std::uint64_t firstFrame,
                      std::size_t frames) const {
        for (std::uint64_t f = firstFrame; f < firstFrame + frames; ++f)
            for (int ch = 0; ch < 2; ++ch)
                ASSERT_EQ(got[(f - firstFrame) * 2 + static_cast<std::size_t>(ch)],
                          cdtest::discSample(image_, from + static_cast<std::int32_t>(f / kSpf), f % kSpf, ch))
                    << "frame " << f << " channel " << ch;
    }

    mcitest::TempFolder folder_;
    cdtest::WrittenImage image_ = cdtest::writeImage(folder_.path(), {{cdtest::TrackPlan{40}, cdtest::TrackPlan{30}}});
    std::shared_ptr<cd::ImageDisc> disc_;
};

TEST_F(CdAudioSourceTest, PlaysARangeInPiecesOfAnySize) {
    cd::CdAudioSource source(disc_, 30, 45);  // the end of track 1 and the start of track 2
    EXPECT_EQ(source.sampleRate(), 44100);
    EXPECT_EQ(source.channels(), 2);
    ASSERT_EQ(source.lengthFrames(), 15 * kSpf);
    std::vector<std::int16_t> all;
    const std::size_t pieces[] = {1, 587, 588, 589, 1000, 13, 5000};
    for (std::size_t i = 0; all.size() / 2 < source.lengthFrames(); ++i) {
        std::vector<std::int16_t> buf(pieces[i % std::size(pieces)] * 2);
        const std::size_t n = source.read(buf.data(), pieces[i % std::size(pieces)]);
        ASSERT_GT(n, 0u);
        all.insert(all.end(), buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(n * 2));
    }
    expectFrames(all, 30, 0, 15 * kSpf);
    std::int16_t more[8];
    EXPECT_EQ(source.read(more, 4), 0u);
    EXPECT_FALSE(source.failed());
}

// After reading somewhere first, so that a seek has to leave what was read ahead.
TEST_F(CdAudioSourceTest, SeeksLandOnTheFrameAtEverySectorEdge) {
    cd::CdAudioSource source(disc_, 5, 70);
    std::vector<std::int16_t> buf(2 * 3);
    for (const std::uint64_t frame : {std::uint64_t{0}, kSpf - 1, kSpf, 25 * kSpf - 1, 25 * kSpf, 65 * kSpf - 1}) {
        ASSERT_EQ(source.read(buf.data(), 1), 1u);
        ASSERT_TRUE(source.seek(frame));
        EXPECT_EQ(source.positionFrames(), frame);
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(3, 65 * kSpf - frame));
        ASSERT_EQ(source.read(buf.data(), 3), want);
        expectFrames(buf, 5, frame, want);
    }
    EXPECT_FALSE(source.seek(65 * kSpf + 1));
    EXPECT_EQ(source.positionFrames(), 65 * kSpf);
    ASSERT_TRUE(source.seek(65 * kSpf));
    EXPECT_EQ(source.read(buf.data(), 2), 0u);
    EXPECT_FALSE(source.failed());
    cd::CdAudioSource reversed(disc_, 20, 10);
    EXPECT_EQ(reversed.lengthFrames(), 0u);
    EXPECT_EQ(reversed.read(buf.data(), 2), 0u);
}

TEST_F(CdAudioSourceTest, ARangePastTheLeadOutPlaysWhatThereIsThenFails) {
    cd::CdAudioSource source(disc_, 65, 80);  // the disc ends at 70
    std::vector<std::int16_t> buf(15 * kSpf * 2);
    EXPECT_EQ(source.read(buf.data(), 15 * kSpf), 5 * kSpf);
    EXPECT_TRUE(source.failed());
    expectFrames(buf, 65, 0, 5 * kSpf);
}

TEST_F(CdAudioSourceTest, TakingTheDiscOutFailsThePlayUntilItIsBackAndSought) {
    cd::CdAudioSource source(disc_, 0, 70);
    std::vector<std::int16_t> buf(70 * kSpf * 2);
    ASSERT_EQ(source.read(buf.data(), kSpf), kSpf);
    disc_->eject();
    EXPECT_LT(source.read(buf.data(), 70 * kSpf), 69 * kSpf);  // at most what was read ahead
    EXPECT_TRUE(source.failed());
    EXPECT_EQ(source.read(buf.data(), 1), 0u);
    disc_->insert();
    ASSERT_TRUE(source.seek(kSpf));
    EXPECT_FALSE(source.failed());
    ASSERT_EQ(source.read(buf.data(), 10), 10u);
    expectFrames(buf, 0, kSpf, 10);
}

}  // namespace
