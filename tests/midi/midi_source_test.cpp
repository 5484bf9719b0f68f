#include "platform/mcidev/midi/midi_source.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/midi/smf_writer.h"

using namespace mcidev::midi;
using namespace midi_test;

namespace {

using Samples = std::vector<std::int16_t>;

// One cache for the whole suite, as the program has.
SoundFontCache& systemFonts() {
    static SoundFontCache cache;
    return cache;
}

double rms(const Samples& s, std::size_t fromFrame, std::size_t toFrame) {
    double sum = 0;
    for (std::size_t i = fromFrame * 2; i < toFrame * 2; ++i) {
        sum += double(s[i]) * s[i];
    }
    return toFrame > fromFrame ? std::sqrt(sum / double((toFrame - fromFrame) * 2)) : 0;
}

int peak(const Samples& s, std::size_t fromFrame, std::size_t toFrame) {
    int p = 0;
    for (std::size_t i = fromFrame * 2; i < toFrame * 2; ++i) {
        p = std::max(p, std::abs(int{s[i]}));
    }
    return p;
}

// Reads `frames` frames in uneven pieces.
Samples readFrames(MidiSource& src, std::size_t frames, std::size_t piece = 1000) {
    Samples out(frames * 2);
    std::size_t got = 0;
    std::size_t step = piece;
    while (got < frames) {
        const std::size_t n = src.read(out.data() + got * 2, std::min(step, frames - got));
        if (n == 0) {
            break;
        }
        got += n;
        step = step * 7 % 1013 + 1;
    }
    out.resize(got * 2);
    return out;
}

// A piano note from 0 to 500 ms, then nothing until the end of the track at 5 s.
Sequence shortNote(int program = 0) {
    Track t;
    t.program(0, 0, program).noteOn(0, 0, 60, 110).noteOff(480, 0, 60).end(4320);
    Sequence seq;
    EXPECT_EQ(readMidi(smf(0, 480, {t}), seq), MidiError::None);
    return seq;
}

class MidiSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (systemFonts().wait() != MidiError::None) {
            GTEST_SKIP() << "no General MIDI sound font installed";
        }
    }

    std::unique_ptr<MidiSource> make(Sequence seq, MidiOptions options = {}) {
        MidiError error = MidiError::SynthFailed;
        auto src = MidiSource::create(std::move(seq), systemFonts(), error, options);
        EXPECT_EQ(error, MidiError::None) << describe(error);
        return src;
    }
};

}  // namespace

TEST_F(MidiSourceTest, ANoteSoundsAndThenFallsSilent) {
    auto src = make(shortNote());
    ASSERT_TRUE(src);
    EXPECT_EQ(src->channels(), 2);
    EXPECT_EQ(src->sampleRate(), 44100);
    const Samples s = readFrames(*src, src->lengthFrames());
    ASSERT_EQ(s.size(), src->lengthFrames() * 2);
    EXPECT_GT(rms(s, 0, 22050), 300.0);            // the note
    EXPECT_LT(rms(s, 0, 10), rms(s, 100, 22050));  // starts at the start, not before
    EXPECT_EQ(peak(s, 4 * 44100, 5 * 44100), 0);   // released and reverb gone by 4 s
}

TEST_F(MidiSourceTest, LengthInFramesMatchesTheTempoMap) {
    Track t;
    t.tempo(0, 500000).noteOn(0, 0, 60).tempo(960, 250000).noteOff(480, 0, 60).end(0);  // 1250 ms
    Sequence seq;
    ASSERT_EQ(readMidi(smf(0, 480, {t}), seq), MidiError::None);
    for (int rate : {44100, 22050, 96000, 192000}) {
        MidiOptions options;
        options.sampleRate = rate;
        auto src = make(seq, options);
        ASSERT_TRUE(src);
        const int actual = src->sampleRate();
        EXPECT_EQ(actual, std::min(rate, 96000));  // the synthesizer's highest rate
        EXPECT_EQ(src->lengthMs(), 1250u);
        EXPECT_EQ(src->lengthFrames(), (std::uint64_t(actual) * 1250 + 999) / 1000);  // from 1250 ms on
        const Samples s = readFrames(*src, src->lengthFrames() + 500);
        EXPECT_EQ(s.size(), src->lengthFrames() * 2);  // nothing past the end
        Samples more(20);
        EXPECT_EQ(src->read(more.data(), 10), 0u);
        EXPECT_FALSE(src->failed());
        EXPECT_EQ(src->positionMs(), src->lengthMs());
    }
}

TEST_F(MidiSourceTest, OddLengthsRoundSoThatTheLastFrameReadsAsTheLength) {
    Track t;
    t.noteOn(0, 0, 60).end(1001);  // 1001 ticks at 96 per quarter: 5213.54 ms
    Sequence seq;
    ASSERT_EQ(readMidi(smf(0, 96, {t}), seq), MidiError::None);
    auto src = make(std::move(seq));
    ASSERT_TRUE(src);
    EXPECT_EQ(src->lengthMs(), 5214u);
    EXPECT_TRUE(src->seek(src->lengthFrames()));
    EXPECT_EQ(src->positionMs(), 5214u);
    EXPECT_TRUE(src->seek(src->lengthFrames() - 1));
    EXPECT_EQ(src->positionMs(), 5213u);
}

TEST_F(MidiSourceTest, SeekLandsExactlyAndRefusesBeyondTheEnd) {
    auto src = make(shortNote());
    ASSERT_TRUE(src);
    EXPECT_TRUE(src->seek(12345));
    EXPECT_EQ(src->positionFrames(), 12345u);
    readFrames(*src, 1000);
    EXPECT_EQ(src->positionFrames(), 13345u);
    EXPECT_TRUE(src->seekMs(700));
    EXPECT_EQ(src->positionMs(), 700u);
    EXPECT_EQ(src->positionFrames(), 30870u);
    EXPECT_FALSE(src->seek(src->lengthFrames() + 1));
    EXPECT_FALSE(src->seekMs(5001));
    EXPECT_EQ(src->positionFrames(), 30870u);
    EXPECT_TRUE(src->seek(src->lengthFrames()));
    Samples s(8);
    EXPECT_EQ(src->read(s.data(), 4), 0u);
}

TEST_F(MidiSourceTest, TheSameSeekGivesTheSameSamples) {
    Track t;
    t.cc(0, 0, 91, 127).cc(0, 0, 93, 127);  // plenty of reverb and chorus
    for (int i = 0; i < 24; ++i) {
        t.noteOn(0, 0, 48 + i).noteOn(0, 9, 35 + i % 12).noteOff(120, 0, 48 + i);
    }
    t.end(480);
    Sequence seq;
    ASSERT_EQ(readMidi(smf(0, 480, {t}), seq), MidiError::None);
    auto src = make(std::move(seq));
    ASSERT_TRUE(src);

    src->seek(50000);
    const Samples first = readFrames(*src, 40000, 4096);
    src->seek(3000);
    readFrames(*src, 20000, 333);
    src->seek(50000);
    const Samples second = readFrames(*src, 40000, 17);
    EXPECT_GT(rms(first, 0, 40000), 100.0);
    EXPECT_EQ(first, second);

    src->seek(0);
    const Samples fromStart = readFrames(*src, 30000);
    auto fresh = make(src->sequence());
    EXPECT_EQ(readFrames(*fresh, 30000, 64), fromStart);
}

TEST_F(MidiSourceTest, SeekReplaysChannelStateButNotNotes) {
    // A trumpet chosen at the start, a note held from 0 to 2 s, another from 3 s.
    Track t;
    t.program(0, 0, 56).cc(0, 0, 7, 127).noteOn(0, 0, 67).noteOff(1920, 0, 67).noteOn(960, 0, 72).end(960);
    Sequence seq;
    ASSERT_EQ(readMidi(smf(0, 480, {t}), seq), MidiError::None);
    MidiOptions dry;
    dry.effects = false;  // nothing carries over in effect tails
    auto src = make(seq, dry);
    ASSERT_TRUE(src);
    const Samples whole = readFrames(*src, src->lengthFrames());

    // From 1 s: the held note is not started again, so 1 s .. 3 s is silent.
    ASSERT_TRUE(src->seekMs(1000));
    const Samples from1 = readFrames(*src, src->lengthFrames() - 44100);
    EXPECT_EQ(peak(from1, 0, 2 * 44100 - 64), 0);
    EXPECT_GT(rms(from1, 2 * 44100 + 1000, 3 * 44100), 300.0);

    // From 2.5 s (a block boundary away from every event): after the seek the output
    // is what playing through gives, trumpet included. Not to the bit: the synthesizer
    // leaves a trace of the earlier note in the voice it reuses for the later one.
    const std::uint64_t at = 2500 * 441 / 10 / 64 * 64;
    ASSERT_TRUE(src->seek(at));
    const Samples tail = readFrames(*src, src->lengthFrames() - at);
    ASSERT_EQ(tail.size(), whole.size() - at * 2);
    int worst = 0;
    for (std::size_t i = 0; i < tail.size(); ++i) {
        worst = std::max(worst, std::abs(tail[i] - whole[at * 2 + i]));
    }
    EXPECT_LE(worst, 16);
    EXPECT_GT(rms(tail, 3 * 44100 - at + 1000, 4 * 44100 - at), 300.0);
}

TEST_F(MidiSourceTest, SourcesPlayIndependently) {
    auto a = make(shortNote(0));
    auto b = make(shortNote(0));
    auto c = make(shortNote(40));
    ASSERT_TRUE(a && b && c);
    Samples sa, sb;
    for (int i = 0; i < 20; ++i) {  // interleaved, as separate devices would
        Samples pa = readFrames(*a, 2205), pb = readFrames(*b, 2205), pc = readFrames(*c, 2205);
        sa.insert(sa.end(), pa.begin(), pa.end());
        sb.insert(sb.end(), pb.begin(), pb.end());
    }
    EXPECT_EQ(sa, sb);
}

// The errors of the reader come through; a missing or broken font is covered where the
// sequencer device opens.
TEST_F(MidiSourceTest, OpensFilesAndReportsTheirErrors) {
    const auto dir = std::filesystem::temp_directory_path() / "tolvane_midi_source_test";
    std::filesystem::create_directories(dir);
    Track t;
    t.noteOn(0, 0, 60).end(480);
    const Bytes file = rmi(smf(0, 480, {t}));
    std::ofstream((dir / "a.rmi"), std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    std::ofstream((dir / "b.mid"), std::ios::binary) << "not music";
    MidiError error = MidiError::None;
    auto src = MidiSource::open((dir / "a.rmi").string(), systemFonts(), error);
    EXPECT_EQ(error, MidiError::None);
    ASSERT_TRUE(src);
    EXPECT_EQ(src->lengthMs(), 500u);
    EXPECT_FALSE(MidiSource::open((dir / "b.mid").string(), systemFonts(), error));
    EXPECT_EQ(error, MidiError::NotMidi);
    std::filesystem::remove_all(dir);
}
