// The synthesizer source: a seek sets up the channels as the file has built them up,
// without sounding the notes that began before.
#include "platform/mcidev/midi/midi_source.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "tests/platform/mcidev/midi/smf_writer.h"

using namespace mcidev::midi;
using namespace midi_test;

namespace {

using Samples = std::vector<std::int16_t>;

double rms(const Samples& s, std::size_t fromFrame, std::size_t toFrame) {
    double sum = 0;
    for (std::size_t i = fromFrame * 2; i < toFrame * 2; ++i) sum += double(s[i]) * s[i];
    return std::sqrt(sum / double((toFrame - fromFrame) * 2));
}

int peak(const Samples& s, std::size_t fromFrame, std::size_t toFrame) {
    int p = 0;
    for (std::size_t i = fromFrame * 2; i < toFrame * 2; ++i) p = std::max(p, std::abs(int{s[i]}));
    return p;
}

// Reads from the position to the end in uneven pieces.
Samples readToTheEnd(MidiSource& src) {
    Samples out((src.lengthFrames() - src.positionFrames()) * 2);
    std::size_t got = 0;
    for (std::size_t n = 1, piece = 1000; got * 2 < out.size() && n > 0; got += n, piece = piece * 7 % 1013 + 1)
        n = src.read(out.data() + got * 2, std::min(piece, out.size() / 2 - got));
    out.resize(got * 2);
    return out;
}

class MidiSourceTest : public testing::Test {
protected:
    void SetUp() override {
        if (fonts.wait() != MidiError::None) GTEST_SKIP() << "no General MIDI sound font installed";
    }
    std::unique_ptr<MidiSource> make(const Track& t, MidiOptions options = {}) {
        Sequence seq;
        EXPECT_EQ(readMidi(smf(0, 480, {t}), seq), MidiError::None);
        MidiError error = MidiError::SynthFailed;
        auto src = MidiSource::create(std::move(seq), fonts, error, options);
        EXPECT_EQ(error, MidiError::None);
        return src;
    }
    SoundFontCache fonts;
};

TEST_F(MidiSourceTest, SeekReplaysChannelStateButNotNotes) {
    // A trumpet chosen at the start, a note held from 0 to 2 s, another from 3 s.
    Track t;
    t.program(0, 0, 56).cc(0, 0, 7, 127).noteOn(0, 0, 67).noteOff(1920, 0, 67).noteOn(960, 0, 72).end(960);
    auto src = make(t, {.effects = false});  // nothing carries over in effect tails
    ASSERT_TRUE(src);
    const Samples whole = readToTheEnd(*src);
    EXPECT_GT(rms(whole, 1000, 44100), 300.0) << "the note at the very start sounds";

    // From 1 s: the held note is not started again, so 1 s .. 3 s is silent.
    ASSERT_TRUE(src->seek(44100));
    const Samples from1 = readToTheEnd(*src);
    EXPECT_EQ(peak(from1, 0, 2 * 44100 - 64), 0);
    EXPECT_GT(rms(from1, 2 * 44100 + 1000, 3 * 44100), 300.0);

    // From 2.5 s (a block boundary away from every event): after the seek the output
    // is what playing through gives, trumpet included. Not to the bit: the synthesizer
    // leaves a trace of the earlier note in the voice it reuses for the later one.
    const std::uint64_t at = 2500 * 441 / 10 / 64 * 64;
    ASSERT_TRUE(src->seek(at));
    const Samples tail = readToTheEnd(*src);
    ASSERT_EQ(tail.size(), whole.size() - at * 2);
    int worst = 0;
    for (std::size_t i = 0; i < tail.size(); ++i) worst = std::max(worst, std::abs(tail[i] - whole[at * 2 + i]));
    EXPECT_LE(worst, 16);
    EXPECT_GT(rms(tail, 3 * 44100 - at + 1000, 4 * 44100 - at), 300.0);

    // Back to the start: the notes there sound again, as at the first play.
    ASSERT_TRUE(src->seek(0));
    EXPECT_TRUE(readToTheEnd(*src) == whole);
}

// A seek starts from a synthesizer that has had nothing sent to it: whatever was heard
// before (a held note, the sustain pedal, a bend, the effects' tails), the output after
// it is, to the sample, what a source just made gives from that frame.
TEST_F(MidiSourceTest, SeekGivesExactlyWhatAFreshSourceGives) {
    Track t;
    t.program(0, 0, 19).cc(0, 0, 64, 127).noteOn(0, 0, 60).noteOn(0, 0, 64).raw(480, {0xE0, 0x00, 0x60});
    t.cc(0, 0, 7, 40).noteOff(480, 0, 60).noteOff(0, 0, 64).program(480, 0, 56).noteOn(0, 0, 67).end(960);
    const std::uint64_t later = 44100 + 4410;  // after the bend and the volume change

    auto src = make(t);
    ASSERT_TRUE(src);
    Samples partly(30000 * 2);
    ASSERT_EQ(src->read(partly.data(), 30000), 30000u);  // the notes held, the pedal down
    // With a synthesizer built ahead while idle, and with one built for the seek.
    for (const auto& [frame, prepared] : {std::pair{std::uint64_t{0}, true}, {later, false}, {later, true}}) {
        SCOPED_TRACE(testing::Message() << frame << (prepared ? " prepared" : ""));
        if (prepared) src->prepareSeek();
        auto fresh = make(t);
        ASSERT_TRUE(fresh && fresh->seek(frame));
        ASSERT_TRUE(src->seek(frame));
        const Samples expected = readToTheEnd(*fresh);
        EXPECT_GT(peak(expected, 0, expected.size() / 2), 100);
        EXPECT_TRUE(readToTheEnd(*src) == expected);
    }
}

// A release while the font loads, or while another thread waits for it, waits for the
// load before the font goes (run under the address sanitizer); the next wait loads it
// again.
TEST(SoundFontCache, ReleaseDuringALoadIsSafeAndTheNextWaitLoadsAgain) {
    if (SoundFontCache::findDefault().empty()) GTEST_SKIP() << "no General MIDI sound font installed";
    SoundFontCache fonts;
    EXPECT_EQ(fonts.loads(), 0u);
    fonts.preload();
    fonts.release();
    EXPECT_TRUE(fonts.path().empty());
    std::thread waiter([&] { EXPECT_EQ(fonts.wait(), MidiError::None); });
    fonts.release();
    waiter.join();
    EXPECT_EQ(fonts.wait(), MidiError::None);
    EXPECT_FALSE(fonts.path().empty());
    EXPECT_GE(fonts.loads(), 2u);
}

}  // namespace
