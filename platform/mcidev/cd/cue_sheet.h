// Cue sheets: the text that describes a disc image as tracks laid over one or more
// binary files. Pure C++ with no outside dependency, so that it can be fuzzed alone.
//
// Understood: FILE "name" BINARY|MOTOROLA; TRACK nn <mode>; INDEX nn mm:ss:ff;
// PREGAP and POSTGAP mm:ss:ff. REM, CATALOG, TITLE, PERFORMER and the other
// descriptive commands are skipped. Keywords are case-insensitive; lines may end in
// LF, CR LF or CR; a leading UTF-8 byte order mark is skipped.
//
// The parser trusts nothing: the sheet's size and line length are capped, every
// number is range-checked, and anything inconsistent (tracks out of order, a track
// without index 1, indexes going backwards, a time with 60 seconds) is an error that
// names the line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/mcidev/cd/toc.h"

namespace mcidev::cd {

inline constexpr std::size_t kMaxCueSheetBytes = 256 * 1024;
inline constexpr std::size_t kMaxCueLineBytes = 8 * 1024;
inline constexpr std::size_t kMaxCueFiles = 99;

// How the bytes of a FILE are ordered: BINARY is little-endian audio, MOTOROLA
// big-endian.
enum class CueFileType { Binary, Motorola };

enum class TrackMode {
    Audio,  // 2352 bytes per sector
    Cdg,    // audio with subcode: 2448 bytes per sector, the audio first
    Mode1_2048,
    Mode1_2352,
    Mode2_2048,
    Mode2_2324,
    Mode2_2336,
    Mode2_2352,
    Cdi_2336,
    Cdi_2352,
};

// Bytes one sector of this mode takes in the file.
int sectorStride(TrackMode mode);
bool isAudio(TrackMode mode);

struct CueFile {
    std::string name;  // as written in the sheet
    CueFileType type = CueFileType::Binary;
    int line = 0;
};

struct CueIndex {
    int number = 0;           // 0 to 99
    int file = 0;             // into CueSheet::files
    std::int32_t offset = 0;  // sectors from the start of that file
    int line = 0;
};

struct CueTrack {
    int number = 0;  // 1 to 99
    TrackMode mode = TrackMode::Audio;
    std::int32_t pregap = 0;   // PREGAP: silent sectors that are not in any file
    std::int32_t postgap = 0;  // POSTGAP: likewise, after the track
    // Ascending numbers; index 1 always present. A track's indexes may span files.
    std::vector<CueIndex> indexes;
    int line = 0;
};

struct CueSheet {
    std::vector<CueFile> files;
    std::vector<CueTrack> tracks;  // consecutive numbers
};

struct CueParseResult {
    CueSheet sheet;
    std::string error;  // empty on success, else "line N: ..." or a sentence
    bool ok() const { return error.empty(); }
};

CueParseResult parseCueSheet(std::string_view text);

// A piece of a sheet fit to quote in an error text: at most maxBytes bytes (never
// cutting a UTF-8 sequence in two), control characters shown as '?'.
std::string quotable(std::string_view text, std::size_t maxBytes);

// Where the sectors of the disc come from: a run of sectors of one file, or a run of
// generated silence (PREGAP, POSTGAP).
struct ImageExtent {
    std::int32_t startLba = 0;
    std::int32_t sectors = 0;
    int file = -1;                 // -1: silence
    std::uint64_t byteOffset = 0;  // of the run's first sector in the file
    int stride = 0;                // bytes per sector in the file
    bool audio = false;            // false for data sectors and silence

    bool operator==(const ImageExtent&) const = default;
};

struct ImageLayout {
    Toc toc;
    std::vector<ImageExtent> extents;  // contiguous from LBA 0 to the lead-out
    std::string error;
    bool ok() const { return error.empty(); }
};

// Lays a parsed sheet over its files, given the size in bytes of each of them. The
// files follow each other on the disc; PREGAP and POSTGAP insert silence; a track
// starts at its index 1 and ends where the next one starts. A partial sector at the
// end of a file is ignored. Fails when an index lies beyond the end of its file, a
// track has no sectors, or the whole is longer than a CD.
ImageLayout layoutImage(const CueSheet& sheet, const std::vector<std::uint64_t>& fileSizes);

}  // namespace mcidev::cd
