#include "platform/mcidev/cd/cue_sheet.h"

#include <gtest/gtest.h>

namespace cd = mcidev::cd;

namespace {

constexpr std::uint64_t kSector = 2352;

cd::CueSheet parseOk(std::string_view text) {
    cd::CueParseResult r = cd::parseCueSheet(text);
    EXPECT_TRUE(r.ok()) << r.error;
    return r.sheet;
}

TEST(CueSheet, ReadsOneFileWithTwoTracksAndIgnoresDescriptions) {
    const cd::CueSheet s = parseOk(
        "\xEF\xBB\xBFREM GENRE Test\r\n"
        "CATALOG 0000000000000\r\n"
        "PERFORMER \"Someone \"quoted\"\"\r\n"
        "file \"My Disc.bin\" binary\r\n"
        "  TRACK 01 AUDIO\r\n"
        "    FLAGS DCP\r\n"
        "    INDEX 01 00:00:00\r\n"
        "\ttrack 02 audio\r"
        "    INDEX 00 00:03:10\r"
        "    INDEX 01 00:05:00\r"
        "    INDEX 02 1:00:0\n");
    ASSERT_EQ(s.files.size(), 1u);
    EXPECT_EQ(s.files[0].name, "My Disc.bin");
    EXPECT_EQ(s.files[0].type, cd::CueFileType::Binary);
    ASSERT_EQ(s.tracks.size(), 2u);
    EXPECT_EQ(s.tracks[1].number, 2);
    ASSERT_EQ(s.tracks[1].indexes.size(), 3u);
    EXPECT_EQ(s.tracks[1].indexes[0].offset, 3 * 75 + 10);
    EXPECT_EQ(s.tracks[1].indexes[1].offset, 5 * 75);
    EXPECT_EQ(s.tracks[1].indexes[2].offset, 60 * 75);
    EXPECT_EQ(s.tracks[1].indexes[2].line, 11);
}

// Audio with subcode after each sector still plays.
TEST(CueSheet, ReadsUnquotedNamesAndSubcodeTracks) {
    const cd::CueSheet s = parseOk("FILE data.img MOTOROLA\nTRACK 01 CDG\nINDEX 01 00:00:00\n");
    EXPECT_EQ(s.files[0].name, "data.img");
    EXPECT_EQ(s.files[0].type, cd::CueFileType::Motorola);
    EXPECT_EQ(cd::sectorStride(s.tracks[0].mode), 2448);
    EXPECT_TRUE(cd::isAudio(s.tracks[0].mode));
}

struct DamagedSheet {
    const char* name;
    std::string text;
    const char* expected;  // part of the error
};

void PrintTo(const DamagedSheet& c, std::ostream* os) { *os << c.name; }

class DamagedCueSheet : public testing::TestWithParam<DamagedSheet> {};

TEST_P(DamagedCueSheet, IsRejectedWithAClearError) {
    const cd::CueParseResult r = cd::parseCueSheet(GetParam().text);
    ASSERT_FALSE(r.ok());
    EXPECT_NE(r.error.find(GetParam().expected), std::string::npos) << r.error;
}

const std::string kFile = "FILE \"a.bin\" BINARY\n";
const std::string kTrack = kFile + "TRACK 01 AUDIO\n";
const std::string kTrackOne = kTrack + "INDEX 01 00:00:00\n";
using D = DamagedSheet;

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedCueSheet,
    testing::Values(
        D{"Empty", "", "lists no tracks"},
        D{"TrackBeforeFile", "TRACK 01 AUDIO\nINDEX 01 00:00:00\n", "line 1: TRACK comes before any FILE"},
        D{"IndexBeforeTrack", kFile + "INDEX 01 00:00:00\n", "line 2: INDEX comes before any TRACK"},
        D{"SixtySeconds", kTrack + "INDEX 01 00:60:00\n", "line 3: the seconds"},
        D{"SeventyFiveFrames", kTrack + "INDEX 01 00:00:75\n", "the frames"},
        D{"HundredMinutes", kTrack + "INDEX 01 100:00:00\n", "99 minutes"},
        D{"TimeWithoutFrames", kTrack + "INDEX 01 00:00\n", "mm:ss:ff"},
        D{"SignedTime", kTrack + "INDEX 01 -1:00:00\n", "mm:ss:ff"},
        D{"TrackZero", kFile + "TRACK 00 AUDIO\nINDEX 01 00:00:00\n", "01 to 99"},
        D{"TrackHundred", kFile + "TRACK 100 AUDIO\nINDEX 01 00:00:00\n", "01 to 99"},
        D{"SkippedTrack", kTrackOne + "TRACK 03 AUDIO\nINDEX 01 00:01:00\n", "line 4: track 03 follows track 01"},
        D{"NoIndexOne", kTrack + "INDEX 00 00:00:00\nTRACK 02 AUDIO\n", "line 2: track 01 has no INDEX 01"},
        D{"LastTrackWithoutIndex", kTrack, "track 01 has no INDEX 01"},
        D{"IndexTwoFirst", kTrack + "INDEX 02 00:00:00\n", "must be 00 or 01"},
        D{"IndexZeroThenTwo", kTrack + "INDEX 00 00:00:00\nINDEX 02 00:01:00\n", "INDEX 00 must be followed by"},
        D{"IndexRepeated", kTrackOne + "INDEX 01 00:01:00\n", "index numbers must go up"},
        D{"IndexGoesBack", kTrack + "INDEX 01 00:05:00\nTRACK 02 AUDIO\nINDEX 01 00:04:00\n",
          "line 5: INDEX 01 lies before the previous INDEX"},
        D{"WaveFile", "FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", "type WAVE"},
        D{"FileWithoutType", "FILE \"a.bin\"\n", "a file name and a type"},
        D{"EmptyFileName", "FILE \"\" BINARY\n", "empty file name"},
        D{"UnclosedQuote", "FILE \"a.bin BINARY\n", "not closed"},
        D{"ControlCharactersAreNotEchoed", "FILE a.bin BIN\x1b[2JARY\n", "type BIN?[2JARY are"},
        D{"UnknownMode", kFile + "TRACK 01 MODE3/9999\n", "unknown track mode"},
        D{"FileWithoutIndex", kTrackOne + "FILE \"b.bin\" BINARY\nFILE \"c.bin\" BINARY\n",
          "line 4: no INDEX lies in the file 'b.bin'"},
        D{"PregapAfterIndex", kTrackOne + "PREGAP 00:02:00\n", "PREGAP must come before"},
        D{"PostgapBeforeIndex", kTrack + "POSTGAP 00:02:00\n", "POSTGAP must come after"},
        D{"IndexAfterPostgap", kTrackOne + "POSTGAP 00:02:00\nINDEX 02 00:03:00\n", "after the track's POSTGAP"},
        D{"NotACommand", kFile + "01:00:00\n", "is not a cue sheet command"},
        D{"ZeroByte", kFile + std::string("TRACK 01 AUDIO\0\n", 16), "zero byte"},
        D{"HugeLine", std::string(9000, 'A'), "longer than"},
        D{"HugeSheet", std::string(300 * 1024, '\n'), "larger than"}),
    [](const testing::TestParamInfo<DamagedSheet>& info) { return std::string(info.param.name); });

TEST(CueSheet, QuotedPiecesAreCutBetweenCharacters) {
    EXPECT_EQ(cd::quotable("ab\xC3\xA9", 3), "ab");
    EXPECT_EQ(cd::quotable("ab\xC3\xA9", 4), "ab\xC3\xA9");
    EXPECT_EQ(cd::quotable("a\tb\x7F", 10), "a?b?");
}

// ---- laying a sheet over its files ----

cd::ImageLayout layout(std::string_view text, std::vector<std::uint64_t> sizes) {
    cd::CueParseResult r = cd::parseCueSheet(text);
    EXPECT_TRUE(r.ok()) << r.error;
    return cd::layoutImage(r.sheet, sizes);
}

TEST(CueLayout, TracksOfOneFileEndWhereTheNextBegins) {
    const cd::ImageLayout l = layout(kFile +
                                         "TRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                                         "TRACK 02 AUDIO\nINDEX 00 00:02:00\nINDEX 01 00:04:00\n",
                                     {600 * kSector + 100});  // a partial sector at the end is ignored
    ASSERT_TRUE(l.ok()) << l.error;
    EXPECT_EQ(l.toc.leadoutLba, 600);
    ASSERT_EQ(l.toc.tracks.size(), 2u);
    EXPECT_EQ(l.toc.tracks[0], (cd::TrackInfo{1, 0, 300, true}));
    EXPECT_EQ(l.toc.tracks[1], (cd::TrackInfo{2, 300, 300, true}));
}

TEST(CueLayout, FilesFollowEachOtherAndAPregapMayEndTheFileBefore) {
    // One file per track, with track 2's INDEX 00 at the end of the first file.
    const cd::ImageLayout l = layout(
        "FILE \"1.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 00 00:01:00\n"
        "FILE \"2.bin\" BINARY\nINDEX 01 00:00:00\n",
        {100 * kSector, 50 * kSector});
    ASSERT_TRUE(l.ok()) << l.error;
    EXPECT_EQ(l.toc.tracks[0], (cd::TrackInfo{1, 0, 100, true}));
    EXPECT_EQ(l.toc.tracks[1], (cd::TrackInfo{2, 100, 50, true}));
    ASSERT_EQ(l.extents.size(), 3u);
    EXPECT_EQ(l.extents[1], (cd::ImageExtent{75, 25, 0, 75 * kSector, 2352, true}));
    EXPECT_EQ(l.extents[2], (cd::ImageExtent{100, 50, 1, 0, 2352, true}));
}

TEST(CueLayout, GapsAreSilenceOutsideTheFiles) {
    const cd::ImageLayout l = layout(kFile +
                                         "TRACK 01 AUDIO\nINDEX 01 00:00:00\nPOSTGAP 00:00:10\n"
                                         "TRACK 02 AUDIO\nPREGAP 00:02:00\nINDEX 01 00:01:00\nPOSTGAP 00:00:05\n",
                                     {100 * kSector});
    ASSERT_TRUE(l.ok()) << l.error;
    EXPECT_EQ(l.toc.tracks[0], (cd::TrackInfo{1, 0, 75 + 10 + 150, true}));
    EXPECT_EQ(l.toc.tracks[1], (cd::TrackInfo{2, 235, 25 + 5, true}));
    EXPECT_EQ(l.toc.leadoutLba, 265);
    ASSERT_EQ(l.extents.size(), 4u);
    EXPECT_EQ(l.extents[1], (cd::ImageExtent{75, 160, -1, 0, 2352, false}));
    EXPECT_EQ(l.extents[2], (cd::ImageExtent{235, 25, 0, 75 * kSector, 2352, true}));
    EXPECT_EQ(l.extents[3].file, -1);
}

TEST(CueLayout, SectorSizesFollowEachTracksMode) {
    // A cooked data track of 2048-byte sectors, then audio in the same file.
    const cd::ImageLayout l = layout(kFile +
                                         "TRACK 01 MODE1/2048\nINDEX 01 00:00:00\n"
                                         "TRACK 02 AUDIO\nINDEX 01 00:01:00\n",
                                     {75 * 2048 + 10 * kSector});
    ASSERT_TRUE(l.ok()) << l.error;
    EXPECT_EQ(l.toc.tracks[0], (cd::TrackInfo{1, 0, 75, false}));
    EXPECT_EQ(l.toc.tracks[1], (cd::TrackInfo{2, 75, 10, true}));
    EXPECT_EQ(l.extents[1].byteOffset, 75u * 2048);
}

struct BadLayout {
    const char* name;
    std::string text;
    std::vector<std::uint64_t> sizes;
    const char* expected;
};

void PrintTo(const BadLayout& c, std::ostream* os) { *os << c.name; }

class BadCueLayout : public testing::TestWithParam<BadLayout> {};

TEST_P(BadCueLayout, IsRejected) {
    const cd::ImageLayout l = layout(GetParam().text, GetParam().sizes);
    ASSERT_FALSE(l.ok());
    EXPECT_NE(l.error.find(GetParam().expected), std::string::npos) << l.error;
}

using B = BadLayout;
const std::string kTwoTracks = kTrackOne + "TRACK 02 AUDIO\nINDEX 01 00:02:00\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, BadCueLayout,
    testing::Values(
        B{"IndexBeyondEnd", kTwoTracks, {100 * kSector}, "line 5: INDEX 01 of track 02 lies beyond the end"},
        B{"LastTrackEmpty", kTwoTracks, {150 * kSector}, "line 4: track 02 holds no sectors"},
        B{"TwoTracksAtOnePlace",
          kTrack + "INDEX 01 00:01:00\nTRACK 02 AUDIO\nINDEX 01 00:01:00\n",
          {200 * kSector},
          "track 01 holds no sectors"},
        B{"EmptyFile", kTrackOne, {100}, "track 01 holds no sectors"},
        B{"LongerThanACd", kTrackOne, {450000ull * kSector}, "longer than a CD"},
        B{"HugeFile", kTrackOne, {~0ull}, "longer than a CD"},
        B{"GapsTooLong",
          kTrackOne + "POSTGAP 99:00:00\nTRACK 02 AUDIO\nPREGAP 99:00:00\nINDEX 01 00:00:01\n",
          {2 * kSector},
          "longer than a CD"},
        B{"SizesMissing", kTrackOne, {}, "file sizes"}),
    [](const testing::TestParamInfo<BadLayout>& info) { return std::string(info.param.name); });

}  // namespace
