#include "platform/mcidev/midi/smf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "tests/midi/smf_writer.h"

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
    for (const MidiEvent& e : seq.events) {
        if (e.kind == kind) {
            out.push_back(&e);
        }
    }
    return out;
}

Bytes dataOf(const Sequence& seq, const MidiEvent& e) {
    auto d = seq.data(e);
    return Bytes(d.begin(), d.end());
}

}  // namespace

TEST(SmfRead, FormatZeroWithRunningStatus) {
    Track t;
    t.noteOn(0, 0, 60).raw(240, {62, 90}).raw(240, {60, 0})  // running status, velocity 0
        .noteOff(480, 0, 62).end(0);
    const Sequence seq = read(smf(0, 480, {t}));
    EXPECT_EQ(seq.format, 0);
    EXPECT_EQ(seq.trackCount, 1);
    ASSERT_EQ(seq.events.size(), 5u);
    EXPECT_EQ(seq.events[1].status, 0x90);
    EXPECT_EQ(seq.events[1].data1, 62);
    EXPECT_EQ(seq.events[1].data2, 90);
    EXPECT_EQ(seq.events[2].tick, 480u);
    EXPECT_EQ(seq.events[2].data2, 0);
    EXPECT_EQ(seq.events[3].status, 0x80);
    EXPECT_EQ(seq.lengthTicks, 960u);
    EXPECT_EQ(seq.lengthMs, 1000u);  // 120 beats per minute until told otherwise
    EXPECT_DOUBLE_EQ(seq.events[2].ms, 500.0);
}

TEST(SmfRead, OneDataByteMessagesRunningStatusAfterMetaAndMetaData) {
    Track t;
    t.program(0, 3, 19).raw(0, {7}).text(0, "Wake up").meta(0, 0x7F, {}).raw(10, {8})  // still program change
        .raw(0, {0xD3, 0x40}).raw(0, {0xE3, 0x00, 0x40}).end();
    const Sequence seq = read(smf(0, 96, {t}));
    const auto ch = ofKind(seq, EventKind::Channel);
    ASSERT_EQ(ch.size(), 5u);
    EXPECT_EQ(ch[1]->status, 0xC3);
    EXPECT_EQ(ch[1]->data1, 7);
    EXPECT_EQ(ch[2]->status, 0xC3);
    EXPECT_EQ(ch[2]->data1, 8);
    EXPECT_EQ(ch[2]->tick, 10u);
    EXPECT_EQ(ch[3]->status, 0xD3);
    EXPECT_EQ(ch[4]->data2, 0x40);
    const auto meta = ofKind(seq, EventKind::Meta);
    ASSERT_EQ(meta.size(), 3u);
    EXPECT_EQ(meta[0]->status, 0x01);
    EXPECT_EQ(dataOf(seq, *meta[0]), (Bytes{'W', 'a', 'k', 'e', ' ', 'u', 'p'}));
    EXPECT_EQ(meta[1]->length, 0u);
    EXPECT_EQ(meta[2]->status, kMetaEndOfTrack);
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
    std::vector<std::pair<std::uint64_t, int>> order;
    for (const MidiEvent& e : seq.events) {
        if (e.kind == EventKind::Channel) {
            order.emplace_back(e.tick, e.data1);
        }
    }
    const std::vector<std::pair<std::uint64_t, int>> expected{{100, 60}, {100, 70}, {150, 72}, {200, 60}};
    EXPECT_EQ(order, expected);
    for (std::size_t i = 1; i < seq.events.size(); ++i) {
        EXPECT_LE(seq.events[i - 1].tick, seq.events[i].tick);
    }
    EXPECT_EQ(seq.lengthTicks, 960u);  // the longest track
    EXPECT_EQ(ofKind(seq, EventKind::Meta).size(), 4u);  // tempo + three ends of track
}

TEST(SmfRead, EndOfTrackEndsTheTrackAndAMissingOneIsTolerated) {
    Track t;
    t.noteOn(0, 0, 60).end(100).noteOn(500, 0, 61);  // after the end: ignored
    const Sequence seq = read(smf(0, 96, {t}));
    EXPECT_EQ(ofKind(seq, EventKind::Channel).size(), 1u);
    EXPECT_EQ(seq.lengthTicks, 100u);

    Track open;
    open.noteOn(0, 0, 60).noteOff(300, 0, 60);
    EXPECT_EQ(read(smf(0, 96, {open})).lengthTicks, 300u);
}

TEST(SmfRead, SystemExclusivePacketsAndEscapes) {
    Track t;
    t.sysex(0, 0xF0, {0x7E, 0x7F, 0x09, 0x01, 0xF7})         // whole message
        .sysex(10, 0xF0, {0x43, 0x12})                        // first packet ...
        .noteOn(0, 0, 60)                                     // events may come between
        .sysex(5, 0xF7, {0x00, 0x01})                         // ... a continuation ...
        .sysex(5, 0xF7, {0x02, 0xF7})                         // ... and the last one
        .sysex(0, 0xF7, {0xFA})                               // an escape (real-time start)
        .sysex(0, 0xF7, {0xF0, 0x41, 0x10, 0xF7})             // an escape holding a message
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

TEST(SmfTiming, LengthIsTheSumOverTheTempoMap) {
    Track conductor;
    conductor.tempo(0, 500000)        // ticks 0..960 at 120 BPM: 1000 ms
        .tempo(960, 250000)           // ticks 960..1440 at 240 BPM: 250 ms
        .tempo(480, 1000000)          // ticks 1440..1680 at 60 BPM: 500 ms
        .end(240);
    Track notes;
    notes.noteOn(1440, 0, 60).end(0);
    const Sequence seq = read(smf(1, 480, {conductor, notes}));
    EXPECT_EQ(seq.tempo.tempoChanges(), 2u);  // the one at tick 0 replaces the default
    EXPECT_EQ(seq.lengthTicks, 1680u);
    EXPECT_EQ(seq.lengthMs, 1750u);
    EXPECT_DOUBLE_EQ(seq.lengthMsExact, 1750.0);
    EXPECT_DOUBLE_EQ(seq.events[3].ms, 1250.0);  // the note, in the other track
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
    const double exact = static_cast<double>(sumMicrosTimesDiv) / 7.0 / 1000.0;
    EXPECT_NEAR(seq.lengthMsExact, exact, 1e-6);
    EXPECT_EQ(seq.lengthMs, (sumMicrosTimesDiv + 3500) / 7000);
}

TEST(SmfTiming, TicksAndMillisecondsConvertBothWays) {
    TempoMap map = TempoMap::quarterNotes(96);
    map.setTempo(0, 437'500);
    map.setTempo(500, 611'111);
    map.setTempo(777, 123'457);
    for (std::uint64_t ms = 0; ms < 3000; ms += 7) {
        const std::uint64_t t = map.tickAtMs(ms);
        EXPECT_LE(map.ms(t), static_cast<double>(ms) + 1e-9) << ms;
        EXPECT_GT(map.ms(t + 1), static_cast<double>(ms)) << ms;
    }
    for (std::uint64_t tick = 0; tick < 1500; tick += 13) {
        EXPECT_EQ(map.roundedMs(tick), static_cast<std::uint64_t>(map.ms(tick) + 0.5));
        EXPECT_EQ(map.frame(tick, 44100), static_cast<std::uint64_t>(map.ms(tick) * 44.1 + 0.5));
    }
    EXPECT_EQ(map.tickAtMs(static_cast<std::uint64_t>(std::ceil(map.ms(777)))), 777u);
}

TEST(SmfTiming, TempoChangesAtOneTickKeepTheLast) {
    TempoMap map = TempoMap::quarterNotes(100);
    map.setTempo(100, 1'000'000);
    map.setTempo(100, 2'000'000);
    map.setTempo(50, 10);  // earlier than the last change: ignored
    map.setTempo(300, 0);  // zero: ignored
    EXPECT_DOUBLE_EQ(map.ms(100), 500.0);
    EXPECT_DOUBLE_EQ(map.ms(200), 2500.0);
    EXPECT_DOUBLE_EQ(map.ms(400), 6500.0);
}

struct TimecodeCase {
    int fps;
    int ticksPerFrame;
    std::uint32_t ticks;
    double ms;
};

class SmfTimecode : public ::testing::TestWithParam<TimecodeCase> {};

TEST_P(SmfTimecode, TicksFollowTheFrameRateAndIgnoreTempo) {
    const TimecodeCase c = GetParam();
    Track t;
    t.tempo(0, 1'000'000).noteOn(0, 0, 60).end(c.ticks);
    const auto division = static_cast<std::uint16_t>(((256 - c.fps) << 8) | c.ticksPerFrame);
    const Sequence seq = read(smf(0, division, {t}));
    EXPECT_TRUE(seq.tempo.isTimecode());
    EXPECT_NEAR(seq.lengthMsExact, c.ms, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Rates, SmfTimecode,
                         ::testing::Values(TimecodeCase{25, 40, 2500, 2500.0},
                                           TimecodeCase{24, 2, 96, 2000.0},
                                           TimecodeCase{30, 80, 2400, 1000.0},
                                           TimecodeCase{29, 1, 30, 1001.0}));

// ---------------------------------------------------------------------------------------
// Damaged and unsupported files

struct BadCase {
    const char* name;
    Bytes bytes;
    MidiError error;
};

Bytes header(std::uint16_t format, std::uint16_t tracks, std::uint16_t division) {
    Bytes h;
    putBe(h, format, 2);
    putBe(h, tracks, 2);
    putBe(h, division, 2);
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
    const Bytes cutRmi = [&] { Bytes b = rmi(smf(0, 96, {end})); b.resize(b.size() - 3); return b; }();
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
        {"TrackPastEnd", [&] { Bytes b = withTrack(ok, {0, 0xFF, 0x2F, 0}); b.pop_back(); return b; }(),
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
        {"TooLong", withTrack(header(0, 1, 1), {0, 0xFF, 0x51, 3, 0xFF, 0xFF, 0xFF,
                                                0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x2F, 0}),
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
            << "prefix " << n << ": " << describe(e);
    }
    for (std::size_t n = 0; n < file.size(); ++n) {
        const Bytes wrapped = rmi(Bytes(file.begin(), file.begin() + static_cast<long>(n)));
        Sequence seq;
        EXPECT_NE(readMidi(wrapped, seq), MidiError::None) << "wrapped prefix " << n;
    }
}

TEST(SmfLimits, SizeAndEventCountAreCapped) {
    Track t;
    for (int i = 0; i < 50; ++i) {
        t.noteOn(1, 0, 60);
    }
    t.end();
    const Bytes file = smf(0, 96, {t});
    Sequence seq;
    EXPECT_EQ(readMidi(file, seq, ReadLimits{file.size() - 1, 1000}), MidiError::TooLarge);
    EXPECT_EQ(readMidi(file, seq, ReadLimits{file.size(), 50}), MidiError::TooLarge);
    EXPECT_EQ(readMidi(file, seq, ReadLimits{file.size(), 51}), MidiError::None);
}

TEST(SmfFile, ReadsFromDiskAndReportsWhatCannotBeOpened) {
    const auto dir = std::filesystem::temp_directory_path() / ("tolvane_smf_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto write = [&](const char* name, const Bytes& bytes) {
        std::ofstream(dir / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return (dir / name).string();
    };
    Track t;
    t.noteOn(0, 0, 60).end(960);
    Sequence seq;
    EXPECT_EQ(readMidiFile(write("a.mid", smf(0, 480, {t})), seq), MidiError::None);
    EXPECT_EQ(seq.lengthMs, 1000u);
    seq = {};
    EXPECT_EQ(readMidiFile(write("a.rmi", rmi(smf(0, 480, {t}))), seq), MidiError::None);
    EXPECT_EQ(seq.lengthMs, 1000u);
    EXPECT_EQ(seq.events.size(), 2u);
    EXPECT_EQ(readMidiFile((dir / "a.mid").string(), seq, ReadLimits{10, 100}), MidiError::TooLarge);
    EXPECT_EQ(readMidiFile((dir / "none.mid").string(), seq), MidiError::CannotOpen);
    EXPECT_EQ(readMidiFile(dir.string(), seq), MidiError::CannotOpen);
    EXPECT_EQ(readMidiFile(write("empty.mid", {}), seq), MidiError::NotMidi);
    std::filesystem::remove_all(dir);
}
