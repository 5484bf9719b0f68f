#include "platform/mcidev/midi/smf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>

#include "tests/midi/smf_writer.h"
#include "tests/support/temp_folder.h"

using namespace mcidev::midi;
using namespace midi_test;

namespace {

Sequence read(const Bytes& bytes, MidiError expected = MidiError::None) {
    Sequence seq;
    EXPECT_EQ(readMidi(bytes, seq), expected);
    return seq;
}

std::vector<const MidiEvent*> ofKind(const Sequence& seq, EventKind kind) {
    std::vector<const MidiEvent*> out;
    for (const MidiEvent& e : seq.events)
        if (e.kind == kind) out.push_back(&e);
    return out;
}

Bytes dataOf(const Sequence& seq, const MidiEvent& e) {
    auto d = seq.data(e);
    return Bytes(d.begin(), d.end());
}

using Ev = std::tuple<std::uint64_t, int, int, int>;  // tick, status, data bytes

std::vector<Ev> channelEvents(const Sequence& seq) {
    std::vector<Ev> out;
    for (const MidiEvent* e : ofKind(seq, EventKind::Channel)) out.emplace_back(e->tick, e->status, e->data1, e->data2);
    return out;
}

}  // namespace

// Running status goes on after meta events; program change and channel pressure take
// one data byte.
TEST(SmfRead, ChannelMessagesWithRunningStatus) {
    Track t;
    t.noteOn(0, 0, 60)
        .raw(240, {62, 90})
        .raw(240, {60, 0})  // running status, velocity 0
        .program(0, 3, 19)
        .text(0, "Wake up")
        .meta(0, 0x7F, {})
        .raw(10, {8})  // still a program change
        .raw(0, {0xD3, 0x40})
        .raw(0, {0xE3, 0x00, 0x40})
        .noteOff(0, 0, 62)
        .end(470);
    const Sequence seq = read(smf(0, 480, {t}));
    EXPECT_EQ(seq.format, 0);
    EXPECT_EQ(channelEvents(seq), (std::vector<Ev>{{0, 0x90, 60, 100},
                                                   {240, 0x90, 62, 90},
                                                   {480, 0x90, 60, 0},
                                                   {480, 0xC3, 19, 0},
                                                   {490, 0xC3, 8, 0},
                                                   {490, 0xD3, 0x40, 0},
                                                   {490, 0xE3, 0, 0x40},
                                                   {490, 0x80, 62, 0}}));
    const auto meta = ofKind(seq, EventKind::Meta);
    ASSERT_EQ(meta.size(), 3u);
    EXPECT_EQ(dataOf(seq, *meta[0]), (Bytes{'W', 'a', 'k', 'e', ' ', 'u', 'p'}));
    EXPECT_EQ(meta[1]->status, 0x7F);
    EXPECT_EQ(meta[2]->status, kMetaEndOfTrack);
    EXPECT_EQ(seq.lengthTicks, 960u);
    EXPECT_EQ(seq.lengthMs, 1000u);  // 120 beats per minute until told otherwise
}

TEST(SmfRead, FormatOneMergesTracksInTimeThenTrackOrder) {
    Track conductor;
    conductor.tempo(0, 500000).end(960);
    Track a;
    a.noteOn(100, 0, 60).noteOff(100, 0, 60).end();
    Track b;
    b.noteOn(100, 1, 70).noteOn(50, 1, 72).end(400);
    const Sequence seq = read(smf(1, 480, {conductor, a, b}));
    EXPECT_EQ(seq.trackCount, 3);
    EXPECT_EQ(channelEvents(seq),
              (std::vector<Ev>{{100, 0x90, 60, 100}, {100, 0x91, 70, 100}, {150, 0x91, 72, 100}, {200, 0x80, 60, 0}}));
    EXPECT_EQ(seq.lengthTicks, 960u);                    // the longest track
    EXPECT_EQ(ofKind(seq, EventKind::Meta).size(), 4u);  // tempo + three ends of track
}

TEST(SmfRead, EndOfTrackEndsTheTrackAndAMissingOneIsTolerated) {
    Track t;
    t.noteOn(0, 0, 60).end(100).noteOn(500, 0, 61);  // after the end: ignored
    const Sequence seq = read(smf(0, 96, {t}));
    EXPECT_EQ(ofKind(seq, EventKind::Channel).size(), 1u);
    EXPECT_EQ(seq.lengthTicks, 100u);

    Track open;  // with the longest delta time there is
    open.noteOn(0, 0, 60).noteOff(0x0FFFFFFF, 0, 60);
    EXPECT_EQ(read(smf(0, 96, {open})).lengthTicks, 0x0FFFFFFFu);
}

TEST(SmfRead, SystemExclusivePacketsAndEscapes) {
    Track t;
    t.sysex(0, 0xF0, {0x7E, 0x7F, 0x09, 0x01, 0xF7})  // whole message
        .sysex(10, 0xF0, {0x43, 0x12})                // first packet ...
        .noteOn(0, 0, 60)                             // events may come between
        .sysex(5, 0xF7, {0x00, 0x01})                 // ... a continuation ...
        .sysex(5, 0xF7, {0x02, 0xF7})                 // ... and the last one
        .sysex(0, 0xF7, {0xFA})                       // an escape (real-time start)
        .sysex(0, 0xF7, {0xF0, 0x41, 0x10, 0xF7})     // an escape holding a message
        .end();
    const Sequence seq = read(smf(0, 96, {t}));
    const auto sx = ofKind(seq, EventKind::SysEx);
    ASSERT_EQ(sx.size(), 3u);
    EXPECT_EQ(dataOf(seq, *sx[0]), (Bytes{0x7E, 0x7F, 0x09, 0x01}));
    EXPECT_EQ(dataOf(seq, *sx[1]), (Bytes{0x43, 0x12, 0x00, 0x01, 0x02}));
    EXPECT_EQ(sx[1]->tick, 20u);  // complete when its last packet arrives
    EXPECT_EQ(dataOf(seq, *sx[2]), (Bytes{0x41, 0x10}));
    const auto esc = ofKind(seq, EventKind::Escape);
    ASSERT_EQ(esc.size(), 1u);
    EXPECT_EQ(dataOf(seq, *esc[0]), (Bytes{0xFA}));
}

TEST(SmfRead, UnknownChunksAreSkipped) {
    Track t;
    t.noteOn(0, 0, 60).end(96);
    Bytes file = smf(0, 96, {});
    file[11] = 1;  // one track, which follows an alien chunk
    Bytes alien = chunk("XFIH", {1, 2, 3});
    Bytes track = chunk("MTrk", t.bytes());
    file.insert(file.end(), alien.begin(), alien.end());
    file.insert(file.end(), track.begin(), track.end());
    EXPECT_EQ(read(file).lengthTicks, 96u);
}

// ---------------------------------------------------------------------------------------
// Timing

// A tempo change replaces an earlier one at its tick; a tempo of zero is ignored.
TEST(SmfTiming, LengthIsTheSumOverTheTempoMap) {
    Track conductor;
    conductor.tempo(0, 400000)
        .tempo(0, 500000)    // ticks 0..960 at 120 BPM: 1000 ms
        .tempo(960, 250000)  // ticks 960..1440 at 240 BPM: 250 ms
        .tempo(480, 1000000)
        .tempo(0, 0)  // ticks 1440..1680 at 60 BPM: 500 ms
        .end(240);
    Track notes;
    notes.noteOn(1440, 0, 60).end(0);
    const Sequence seq = read(smf(1, 480, {conductor, notes}));
    EXPECT_EQ(seq.lengthTicks, 1680u);
    EXPECT_EQ(seq.lengthMs, 1750u);
    EXPECT_EQ(seq.tempo.frame(1440, 44100), 1250u * 441 / 10);
}

TEST(SmfTiming, ManyOddTempoChangesDoNotDrift) {
    // 1000 one-tick segments at tempos that do not divide evenly; the exact sum is
    // computed here with integers.
    Track conductor;
    std::uint64_t sumMicrosTimesDiv = 0;
    for (int i = 0; i < 1000; ++i) {
        const std::uint32_t tempo = 333'333 + static_cast<std::uint32_t>(i) * 7;
        conductor.tempo(i == 0 ? 0 : 1, tempo);
        sumMicrosTimesDiv += tempo;
    }
    conductor.end(1);
    const Sequence seq = read(smf(0, 7, {conductor}));
    EXPECT_EQ(seq.tempo.frame(seq.lengthTicks, 1'000'000), (sumMicrosTimesDiv + 3) / 7);  // microseconds
    EXPECT_EQ(seq.lengthMs, (sumMicrosTimesDiv + 3500) / 7000);
}

struct TimecodeCase {
    int fps;
    int ticksPerFrame;
    std::uint32_t ticks;
    std::uint32_t ms;
};

void PrintTo(const TimecodeCase& c, std::ostream* os) { *os << c.fps << " fps"; }

class SmfTimecode : public ::testing::TestWithParam<TimecodeCase> {};

TEST_P(SmfTimecode, TicksFollowTheFrameRateAndIgnoreTempo) {
    const TimecodeCase c = GetParam();
    Track t;
    t.tempo(0, 1'000'000).noteOn(0, 0, 60).end(c.ticks);
    const auto division = static_cast<std::uint16_t>(((256 - c.fps) << 8) | c.ticksPerFrame);
    EXPECT_EQ(read(smf(0, division, {t})).lengthMs, c.ms);
}

INSTANTIATE_TEST_SUITE_P(Rates, SmfTimecode,
                         ::testing::Values(TimecodeCase{25, 40, 2500, 2500}, TimecodeCase{24, 2, 96, 2000},
                                           TimecodeCase{30, 80, 2400, 1000}, TimecodeCase{29, 1, 30, 1001}),
                         [](const auto& info) { return std::to_string(info.param.fps) + "_fps"; });

// ---------------------------------------------------------------------------------------
// Damaged and unsupported files

struct BadCase {
    const char* name;
    Bytes bytes;
    MidiError error;
};

void PrintTo(const BadCase& c, std::ostream* os) { *os << c.name; }

Bytes header(std::uint16_t format, std::uint16_t tracks, std::uint16_t division) {
    Bytes h;
    for (const std::uint16_t v : {format, tracks, division}) putBe(h, v, 2);
    return chunk("MThd", h);
}

Bytes withTrack(Bytes file, const Bytes& body) {
    Bytes c = chunk("MTrk", body);
    file.insert(file.end(), c.begin(), c.end());
    return file;
}

// A RIFF wrapper of a valid file with four bytes at `at` replaced.
Bytes patchedRmi(std::size_t at, const char* four) {
    Track t;
    t.end();
    Bytes b = rmi(smf(0, 96, {t}));
    std::copy_n(four, 4, b.begin() + static_cast<long>(at));
    return b;
}

std::vector<BadCase> badCases() {
    const Bytes ok = header(0, 1, 96);
    Track end;
    end.end();
    const Bytes cutRmi = [&] {
        Bytes b = rmi(smf(0, 96, {end}));
        b.resize(b.size() - 3);
        return b;
    }();
    return {
        {"RiffWave", patchedRmi(8, "WAVE"), MidiError::NotMidi},
        {"RiffWithoutData", patchedRmi(30, "dat_"), MidiError::Damaged},
        {"RiffHoldingNoMidi", rmi(Bytes{'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'}), MidiError::Damaged},
        {"RiffDataPastEnd", cutRmi, MidiError::Damaged},
        {"Empty", {}, MidiError::NotMidi},
        {"Text", {'h', 'e', 'l', 'l', 'o'}, MidiError::NotMidi},
        {"HeaderCut", {'M', 'T', 'h', 'd', 0, 0}, MidiError::Damaged},
        {"HeaderTooShort", chunk("MThd", {0, 0, 0, 1}), MidiError::Damaged},
        {"FormatTwo", withTrack(header(2, 1, 96), {0, 0xFF, 0x2F, 0}), MidiError::Unsupported},
        {"NoTracks", header(1, 0, 96), MidiError::Damaged},
        {"ZeroDivision", withTrack(header(0, 1, 0), {0, 0xFF, 0x2F, 0}), MidiError::Damaged},
        {"BadFrameRate", withTrack(header(0, 1, 0xE604), {0, 0xFF, 0x2F, 0}), MidiError::Damaged},
        {"ZeroTicksPerFrame", withTrack(header(0, 1, 0xE700), {0, 0xFF, 0x2F, 0}), MidiError::Damaged},
        {"MissingTrack", withTrack(header(1, 2, 96), {0, 0xFF, 0x2F, 0}), MidiError::Damaged},
        {"TrackPastEnd",
         [&] {
             Bytes b = withTrack(ok, {0, 0xFF, 0x2F, 0});
             b.pop_back();
             return b;
         }(),
         MidiError::Damaged},
        {"DataWithoutStatus", withTrack(ok, {0, 0x3C, 0x40}), MidiError::Damaged},
        {"LongVarLen", withTrack(ok, {0x81, 0x80, 0x80, 0x80, 0x00, 0x90, 60, 1}), MidiError::Damaged},
        {"DeltaAtEnd", withTrack(ok, {0x81}), MidiError::Damaged},
        {"DeltaWithoutEvent", withTrack(ok, {0x00}), MidiError::Damaged},
        {"NoteCut", withTrack(ok, {0, 0x90, 60}), MidiError::Damaged},
        {"StatusInData", withTrack(ok, {0, 0x90, 60, 0x90, 0, 0xFF, 0x2F, 0}), MidiError::Damaged},
        {"MetaPastChunk", withTrack(ok, {0, 0xFF, 0x01, 9, 'a'}), MidiError::Damaged},
        {"MetaTypeMissing", withTrack(ok, {0, 0xFF}), MidiError::Damaged},
        {"SysExPastChunk", withTrack(ok, {0, 0xF0, 0x7F, 1, 2}), MidiError::Damaged},
        {"SystemCommon", withTrack(ok, {0, 0xF2, 0, 0}), MidiError::Damaged},
        {"RealTime", withTrack(ok, {0, 0xF8}), MidiError::Damaged},
        {"TooLong",
         withTrack(header(0, 1, 1), {0, 0xFF, 0x51, 3, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x2F, 0}),
         MidiError::TooLong},
    };
}

class SmfBad : public ::testing::TestWithParam<BadCase> {};

TEST_P(SmfBad, IsRejectedWithItsReason) {
    Sequence seq;
    EXPECT_EQ(readMidi(GetParam().bytes, seq), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(Files, SmfBad, ::testing::ValuesIn(badCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SmfBadFile, EveryTruncationIsAnErrorNeverACrash) {
    Track conductor;
    conductor.tempo(0, 400000).text(0, "title").end(10);
    Track t;
    t.program(0, 0, 5).noteOn(0, 0, 60).raw(100, {62, 70}).sysex(0, 0xF0, {1, 2, 0xF7}).noteOff(200, 0, 60).end();
    const Bytes file = smf(1, 96, {conductor, t});
    for (std::size_t n = 0; n < file.size(); ++n) {
        Sequence seq;
        const MidiError e = readMidi(std::span(file).first(n), seq);
        EXPECT_TRUE(e == MidiError::Damaged || (n < 4 && e == MidiError::NotMidi))
            << "prefix " << n << ": " << static_cast<int>(e);
    }
    for (std::size_t n = 0; n < file.size(); ++n) {
        const Bytes wrapped = rmi(Bytes(file.begin(), file.begin() + static_cast<long>(n)));
        Sequence seq;
        EXPECT_NE(readMidi(wrapped, seq), MidiError::None) << "wrapped prefix " << n;
    }
}

TEST(SmfLimits, SizeAndEventCountAreCapped) {
    Track t;
    for (int i = 0; i < 50; ++i) t.noteOn(1, 0, 60);
    t.end();
    const Bytes file = smf(0, 96, {t});
    Sequence seq;
    EXPECT_EQ(readMidi(file, seq, ReadLimits{file.size() - 1, 1000}), MidiError::TooLarge);
    EXPECT_EQ(readMidi(file, seq, ReadLimits{file.size(), 50}), MidiError::TooLarge);
    EXPECT_EQ(readMidi(file, seq, ReadLimits{file.size(), 51}), MidiError::None);
}

TEST(SmfFile, ReadsFromDiskAndReportsWhatCannotBeOpened) {
    const mcitest::TempFolder dir;
    const auto write = [&](const char* name, const Bytes& bytes) {
        std::ofstream(dir / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return (dir / name).string();
    };
    Track t;
    t.noteOn(0, 0, 60).end(960);
    Sequence seq;
    EXPECT_EQ(readMidiFile(write("a.rmi", rmi(smf(0, 480, {t}))), seq), MidiError::None);
    EXPECT_EQ(seq.lengthMs, 1000u);
    EXPECT_EQ(seq.events.size(), 2u);
    EXPECT_EQ(readMidiFile((dir / "a.rmi").string(), seq, ReadLimits{10, 100}), MidiError::TooLarge);
    EXPECT_EQ(readMidiFile((dir / "none.mid").string(), seq), MidiError::CannotOpen);
    EXPECT_EQ(readMidiFile(dir.path().string(), seq), MidiError::CannotOpen);
    EXPECT_EQ(readMidiFile(write("empty.mid", {}), seq), MidiError::NotMidi);
}
