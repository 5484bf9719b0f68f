// Cue sheets: what a sheet says, what is refused with an error naming the line, and how
// the sheet is laid over its files.
#include "platform/mcidev/cd/cue_sheet.h"

#include <gtest/gtest.h>

namespace cd = mcidev::cd;

namespace {

constexpr std::uint64_t kSector = 2352;

TEST(CueSheet, ReadsTracksAndIndexesAndSkipsDescriptions) {
    const cd::CueParseResult r = cd::parseCueSheet(
        "\xEF\xBB\xBFREM GENRE Test\r\nPERFORMER \"Someone \"quoted\"\"\r\nfile \"My Disc.bin\" binary\r\n"
        "  TRACK 01 AUDIO\r\n    FLAGS DCP\r\n    INDEX 01 00:00:00\r\n"
        "\ttrack 02 audio\r    INDEX 00 00:03:10\r    INDEX 01 1:00:0\n");
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.sheet.files.at(0).name, "My Disc.bin");
    ASSERT_EQ(r.sheet.tracks.size(), 2u);
    const std::vector<cd::CueIndex>& indexes = r.sheet.tracks[1].indexes;
    ASSERT_EQ(indexes.size(), 2u);
    EXPECT_EQ(indexes[0].offset, 3 * 75 + 10);
    EXPECT_EQ(indexes[1].offset, 60 * 75);
    EXPECT_EQ(indexes[1].line, 9);
}

struct Damaged {
    const char* name;
    std::string text;
    std::vector<std::uint64_t> sizes;  // of the files, for a sheet that parses
    const char* expected;              // part of the error
    friend void PrintTo(const Damaged& c, std::ostream* os) { *os << c.name; }
};

class DamagedCueSheet : public testing::TestWithParam<Damaged> {};

TEST_P(DamagedCueSheet, IsRefusedWithAClearError) {
    const cd::CueParseResult r = cd::parseCueSheet(GetParam().text);
    const std::string error = r.ok() ? cd::layoutImage(r.sheet, GetParam().sizes).error : r.error;
    EXPECT_NE(error.find(GetParam().expected), std::string::npos) << error;
}

const std::string kTrack = "FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\n";
const std::string kTwoTracks = kTrack + "INDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:02:00\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedCueSheet,
    testing::Values(
        Damaged{"Empty", "", {}, "lists no tracks"},
        Damaged{"TrackBeforeFile", "TRACK 01 AUDIO\n", {}, "line 1: TRACK comes before any FILE"},
        Damaged{"SixtySeconds", kTrack + "INDEX 01 00:60:00\n", {}, "line 3: the seconds"},
        Damaged{"TrackZero", "FILE a.bin BINARY\nTRACK 00 AUDIO\n", {}, "01 to 99"},
        Damaged{"ControlCharactersAreNotEchoed", "FILE a.bin BIN\x1b[2JARY\n", {}, "type BIN?[2JARY are"},
        Damaged{"ZeroByte", kTrack + std::string("INDEX\0\n", 7), {}, "zero byte"},
        Damaged{"HugeSheet", std::string(300 * 1024, '\n'), {}, "larger than"},
        Damaged{"IndexBeyondEnd", kTwoTracks, {100 * kSector}, "line 5: INDEX 01 of track 02 lies beyond the end"},
        Damaged{"LongerThanACd", kTwoTracks, {~0ull}, "longer than a CD"}),
    [](const testing::TestParamInfo<Damaged>& info) { return std::string(info.param.name); });

// A cooked data track of 2048-byte sectors, silence around the second track, then its
// audio from the same file.
TEST(CueLayout, GapsAreSilenceAndSectorSizesFollowTheMode) {
    const cd::CueParseResult r = cd::parseCueSheet(
        "FILE \"a.bin\" BINARY\nTRACK 01 MODE1/2048\nINDEX 01 00:00:00\nPOSTGAP 00:00:10\n"
        "TRACK 02 AUDIO\nPREGAP 00:02:00\nINDEX 01 00:01:00\n");
    ASSERT_TRUE(r.ok()) << r.error;
    const cd::ImageLayout l = cd::layoutImage(r.sheet, {75 * 2048 + 25 * kSector + 100});  // a partial sector
    ASSERT_TRUE(l.ok()) << l.error;
    EXPECT_EQ(l.toc.tracks, (std::vector<cd::TrackInfo>{{1, 0, 75 + 10 + 150, false}, {2, 235, 25, true}}));
    EXPECT_EQ(l.toc.leadoutLba, 260);
    ASSERT_EQ(l.extents.size(), 3u);
    EXPECT_EQ(l.extents[1], (cd::ImageExtent{75, 160, -1, 0, 2352, false}));
    EXPECT_EQ(l.extents[2], (cd::ImageExtent{235, 25, 0, 75 * 2048, 2352, true}));
}

}  // namespace
