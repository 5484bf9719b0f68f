#include "platform/mcidev/cd/cd_audio_source.h"

#include <gtest/gtest.h>

#include "platform/mcidev/cd/cd_time.h"
#include "platform/mcidev/cd/image_disc.h"
#include "tests/cd/cd_test_folder.h"
#include "tests/support/cd_image_writer.h"

namespace cd = mcidev::cd;

namespace {

constexpr std::uint64_t kSpf = cd::kSampleFramesPerSector;

class CdAudioSourceTest : public cdtest::ImageFolderTest {
protected:
    void SetUp() override {
        ImageFolderTest::SetUp();
        cdtest::DiscPlan plan;
        plan.tracks = {cdtest::TrackPlan{40}, cdtest::TrackPlan{30}};
        image_ = cdtest::writeImage(folder_, plan);
        std::string error;
        std::unique_ptr<cd::ImageDisc> disc = cd::ImageDisc::open(image_.cue, error);
        ASSERT_NE(disc, nullptr) << error;
        disc_ = std::move(disc);
    }

    // The sample the source must give at a frame counted from the LBA `from`.
    std::int16_t expected(std::int32_t from, std::uint64_t frame, int channel) const {
        return cdtest::discSample(image_, from + static_cast<std::int32_t>(frame / kSpf),
                                  static_cast<int>(frame % kSpf), channel);
    }

    void expectFrames(const std::vector<std::int16_t>& got, std::int32_t from, std::uint64_t firstFrame,
                      std::size_t frames) const {
        for (std::size_t i = 0; i < frames; ++i)
            for (int ch = 0; ch < 2; ++ch)
                ASSERT_EQ(got[i * 2 + static_cast<std::size_t>(ch)], expected(from, firstFrame + i, ch))
                    << "frame " << firstFrame + i << " channel " << ch;
    }

    cdtest::WrittenImage image_;
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
    ASSERT_EQ(all.size(), 15 * kSpf * 2);
    expectFrames(all, 30, 0, 15 * kSpf);
    std::int16_t more[8];
    EXPECT_EQ(source.read(more, 4), 0u);
    EXPECT_FALSE(source.failed());
    EXPECT_EQ(source.positionLba(), 45);
}

class SeekAtSectorEdges : public CdAudioSourceTest, public testing::WithParamInterface<std::uint64_t> {};

TEST_P(SeekAtSectorEdges, ReadsFromExactlyThere) {
    cd::CdAudioSource source(disc_, 5, 70);
    // Read somewhere first, so that the seek has to leave what was read ahead.
    std::vector<std::int16_t> buf(2 * 3);
    ASSERT_EQ(source.read(buf.data(), 1), 1u);
    const std::uint64_t frame = GetParam();
    ASSERT_TRUE(source.seek(frame));
    EXPECT_EQ(source.positionFrames(), frame);
    EXPECT_EQ(source.positionLba(), 5 + static_cast<std::int32_t>(frame / kSpf));
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(3, source.lengthFrames() - frame));
    ASSERT_EQ(source.read(buf.data(), 3), want);
    expectFrames(buf, 5, frame, want);
}

INSTANTIATE_TEST_SUITE_P(Frames, SeekAtSectorEdges,
                         testing::Values(0, kSpf - 2, kSpf - 1, kSpf, 25 * kSpf - 1, 25 * kSpf, 30 * kSpf,
                                         65 * kSpf - 1));

TEST_F(CdAudioSourceTest, SeekBeyondTheEndIsRefusedAndEndsAndReversedRangesReadNothing) {
    cd::CdAudioSource source(disc_, 0, 10);
    ASSERT_TRUE(source.seek(100));
    EXPECT_FALSE(source.seek(10 * kSpf + 1));
    EXPECT_EQ(source.positionFrames(), 100u);
    ASSERT_TRUE(source.seek(10 * kSpf));
    std::int16_t buf[4];
    EXPECT_EQ(source.read(buf, 2), 0u);
    EXPECT_FALSE(source.failed());

    cd::CdAudioSource reversed(disc_, 20, 10);
    EXPECT_EQ(reversed.lengthFrames(), 0u);
    EXPECT_EQ(reversed.read(buf, 2), 0u);
    EXPECT_FALSE(reversed.failed());
    EXPECT_FALSE(reversed.seek(1));
}

TEST_F(CdAudioSourceTest, ARangePastTheLeadOutPlaysWhatThereIsThenFails) {
    cd::CdAudioSource source(disc_, 65, 80);  // the disc ends at 70
    std::vector<std::int16_t> buf(15 * kSpf * 2);
    const std::size_t n = source.read(buf.data(), 15 * kSpf);
    EXPECT_EQ(n, 5 * kSpf);
    EXPECT_TRUE(source.failed());
    expectFrames(buf, 65, 0, n);
}

TEST_F(CdAudioSourceTest, TakingTheDiscOutFailsThePlayUntilItIsBackAndSought) {
    cd::CdAudioSource source(disc_, 0, 70);
    std::vector<std::int16_t> buf(70 * kSpf * 2);
    ASSERT_EQ(source.read(buf.data(), kSpf), kSpf);
    disc_->eject();
    const std::size_t n = source.read(buf.data(), 70 * kSpf);
    EXPECT_LT(n, 69 * kSpf);  // at most what was read ahead
    EXPECT_TRUE(source.failed());
    EXPECT_EQ(source.read(buf.data(), 1), 0u);
    disc_->insert();
    ASSERT_TRUE(source.seek(kSpf));
    EXPECT_FALSE(source.failed());
    ASSERT_EQ(source.read(buf.data(), 10), 10u);
    expectFrames(buf, 0, kSpf, 10);
}

}  // namespace
