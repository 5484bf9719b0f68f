// The MIDI file reader: events and their order, lengths on the tempo map, and files that
// are refused with their reason.
#include "platform/mcidev/midi/smf.h"

#include <gtest/gtest.h>

#include "tests/platform/mcidev/midi/smf_writer.h"

using namespace mcidev::midi;
using namespace midi_test;

namespace {

using Ev = std::tuple<std::uint64_t, int, int, int>;  // tick, status, data bytes

Sequence read(const Bytes& bytes) {
    Sequence seq;
    EXPECT_EQ(readMidi(bytes, seq), MidiError::None);
    return seq;
}

std::vector<Ev> channelEvents(const Sequence& seq) {
    std::vector<Ev> out;
    for (const MidiEvent& e : seq.events)
        if (e.kind == EventKind::Channel) out.emplace_back(e.tick, e.status, e.data1, e.data2);
    return out;
}

// Running status goes on after meta and system-exclusive events; program change and
// channel pressure take one data byte.
TEST(SmfRead, ChannelMessagesWithRunningStatus) {
    Track t;
    t.sysex(0, 0xF0, {0x7E, 0x7F, 0x09, 0x01, 0xF7})
        .noteOn(0, 0, 60)
        .raw(240, {62, 90})
        .raw(240, {60, 0})  // running status, velocity 0
        .program(0, 3, 19)
        .text(0, "Wake up")
        .raw(10, {8})  // still a program change
        .raw(0, {0xD3, 0x40})
        .raw(0, {0xE3, 0x00, 0x40})
        .noteOff(0, 0, 62)
        .end(470);
    const Sequence seq = read(smf(0, 480, {t}));
    EXPECT_EQ(channelEvents(seq), (std::vector<Ev>{{0, 0x90, 60, 100},
                                                   {240, 0x90, 62, 90},
                                                   {480, 0x90, 60, 0},
                                                   {480, 0xC3, 19, 0},
                                                   {490, 0xC3, 8, 0},
                                                   {490, 0xD3, 0x40, 0},
                                                   {490, 0xE3, 0, 0x40},
                                                   {490, 0x80, 62, 0}}));
    ASSERT_EQ(seq.events.front().kind, EventKind::SysEx);
    const auto gmReset = seq.data(seq.events.front());
    EXPECT_EQ(Bytes(gmReset.begin(), gmReset.end()), (Bytes{0x7E, 0x7F, 0x09, 0x01}));
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
    EXPECT_EQ(seq.lengthTicks, 960u);  // the longest track
}

struct FileCase {
    const char* name;
    Bytes bytes;
    MidiError error;
    std::uint32_t lengthMs = 0;  // of a file that is read
    friend void PrintTo(const FileCase& c, std::ostream* os) { *os << c.name; }
};

Bytes header(std::uint16_t format, std::uint16_t tracks, std::uint16_t division) {
    Bytes h;
    for (const std::uint16_t v : {format, tracks, division}) put(h, v, 2);
    return chunk("MThd", h);
}

Bytes withChunks(Bytes file, const std::vector<Bytes>& chunks) {
    for (const Bytes& c : chunks) file.insert(file.end(), c.begin(), c.end());
    return file;
}

Bytes withTrack(const Bytes& file, const Bytes& body) { return withChunks(file, {chunk("MTrk", body)}); }

std::vector<FileCase> fileCases() {
    const Bytes ok = header(0, 1, 96);
    const Bytes endOnly{0, 0xFF, 0x2F, 0};
    Track conductor;  // 960 ticks at 120 bpm, 480 at 240, 240 at 60 (a zero tempo is ignored)
    conductor.tempo(0, 400000).tempo(0, 500000).tempo(960, 250000).tempo(480, 1000000).tempo(0, 0).end(240);
    Track notes;
    notes.noteOn(1440, 0, 60).end(0);
    Track afterEnd;
    afterEnd.noteOn(0, 0, 60).end(96).noteOn(500, 0, 61);
    Track longestDelta;  // and no end of track
    longestDelta.noteOn(0, 0, 60).noteOff(0x0FFFFFFF, 0, 60);
    Track second;
    second.tempo(0, 1'000'000).end(2500);
    Bytes cutRmi = rmi(smf(0, 96, {notes}));
    cutRmi.resize(cutRmi.size() - 3);
    return {
        {"TempoMap", smf(1, 480, {conductor, notes}), MidiError::None, 1750},
        {"EventsAfterTheEndAreIgnored", smf(0, 96, {afterEnd}), MidiError::None, 500},
        {"LongestDeltaTime", smf(0, 96, {longestDelta}), MidiError::None, 1398101328},
        {"Timecode25fps", smf(0, (256 - 25) << 8 | 40, {second}), MidiError::None, 2500},
        {"AlienChunk", withChunks(ok, {chunk("XFIH", {1, 2, 3}), chunk("MTrk", afterEnd.bytes())}), MidiError::None,
         500},
        {"Wrapped", rmi(smf(0, 96, {afterEnd})), MidiError::None, 500},
        {"RiffDataPastEnd", cutRmi, MidiError::Damaged},
        {"FormatTwo", withTrack(header(2, 1, 96), endOnly), MidiError::Unsupported},
        {"ZeroDivision", withTrack(header(0, 1, 0), endOnly), MidiError::Damaged},
        {"DataWithoutStatus", withTrack(ok, {0, 0x3C, 0x40}), MidiError::Damaged},
        {"FiveByteDelta", withTrack(ok, {0x81, 0x80, 0x80, 0x80, 0x00, 0x90, 60, 1}), MidiError::Damaged},
        {"StatusInData", withTrack(ok, {0, 0x90, 60, 0x90, 0, 0xFF, 0x2F, 0}), MidiError::Damaged},
        {"TooLong",
         withTrack(header(0, 1, 1), {0, 0xFF, 0x51, 3, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x2F, 0}),
         MidiError::TooLong},
    };
}

class SmfFiles : public testing::TestWithParam<FileCase> {};

TEST_P(SmfFiles, AreReadOrRefusedWithTheirReason) {
    Sequence seq;
    ASSERT_EQ(readMidi(GetParam().bytes, seq), GetParam().error);
    if (GetParam().error == MidiError::None) {
        EXPECT_EQ(seq.lengthMs, GetParam().lengthMs);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, SmfFiles, testing::ValuesIn(fileCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SmfRead, EveryTruncationIsAnErrorNeverACrash) {
    Track conductor;
    conductor.tempo(0, 400000).text(0, "title").end(10);
    Track t;
    t.program(0, 0, 5).noteOn(0, 0, 60).raw(100, {62, 70}).sysex(0, 0xF0, {1, 2, 0xF7}).noteOff(200, 0, 60).end();
    const Bytes file = smf(1, 96, {conductor, t});
    for (std::size_t n = 0; n < file.size(); ++n) {
        Sequence seq;
        const MidiError e = readMidi(std::span(file).first(n), seq);
        EXPECT_TRUE(e == MidiError::Damaged || (n < 4 && e == MidiError::NotMidi)) << "prefix " << n;
        EXPECT_NE(readMidi(rmi(Bytes(file.begin(), file.begin() + static_cast<long>(n))), seq), MidiError::None)
            << "wrapped prefix " << n;
    }
}

TEST(SmfRead, SizeAndEventCountAreCapped) {
    Track t;
    for (int i = 0; i < 50; ++i) t.noteOn(1, 0, 60);
    const Bytes file = smf(0, 96, {t.end()});
    Sequence seq;
    EXPECT_EQ(readMidi(file, seq, ReadLimits{file.size(), 51}), MidiError::None);
    EXPECT_EQ(readMidi(file, seq, ReadLimits{file.size() - 1, 1000}), MidiError::TooLarge);
    EXPECT_EQ(readMidi(file, seq, ReadLimits{file.size(), 50}), MidiError::TooLarge);
}

}  // namespace
