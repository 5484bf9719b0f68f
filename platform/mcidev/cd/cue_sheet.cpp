#include "platform/mcidev/cd/cue_sheet.h"

#include <algorithm>
#include <array>
#include <optional>

#include "platform/mcidev/cd/cd_time.h"

namespace mcidev::cd {

namespace {

struct ModeInfo {
    std::string_view name;
    TrackMode mode;
    int stride;
    bool audio;
};

constexpr std::array<ModeInfo, 10> kModes{{
    {"AUDIO", TrackMode::Audio, 2352, true},
    {"CDG", TrackMode::Cdg, 2448, true},
    {"MODE1/2048", TrackMode::Mode1_2048, 2048, false},
    {"MODE1/2352", TrackMode::Mode1_2352, 2352, false},
    {"MODE2/2048", TrackMode::Mode2_2048, 2048, false},
    {"MODE2/2324", TrackMode::Mode2_2324, 2324, false},
    {"MODE2/2336", TrackMode::Mode2_2336, 2336, false},
    {"MODE2/2352", TrackMode::Mode2_2352, 2352, false},
    {"CDI/2336", TrackMode::Cdi_2336, 2336, false},
    {"CDI/2352", TrackMode::Cdi_2352, 2352, false},
}};

const ModeInfo& modeInfo(TrackMode mode) {
    for (const ModeInfo& m : kModes)
        if (m.mode == mode) return m;
    return kModes[0];
}

char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = upperAscii(c);
    return out;
}

bool isSpace(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isWordChar(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || isDigit(c) || c == '_'; }

std::string lineError(int line, std::string_view message) {
    return "line " + std::to_string(line) + ": " + std::string(message);
}

std::string twoDigits(int n) {
    std::string s = std::to_string(n);
    return s.size() < 2 ? "0" + s : s;
}

// Splits a command line into words; a word in double quotes may hold blanks.
bool tokenize(std::string_view line, std::vector<std::string>& words, std::string& why) {
    words.clear();
    std::size_t i = 0;
    while (i < line.size()) {
        if (isSpace(line[i])) {
            ++i;
            continue;
        }
        if (line[i] == '"') {
            const std::size_t close = line.find('"', i + 1);
            if (close == std::string_view::npos) {
                why = "a quoted name is not closed";
                return false;
            }
            if (close + 1 < line.size() && !isSpace(line[close + 1])) {
                why = "unexpected text right after a closing quote";
                return false;
            }
            words.emplace_back(line.substr(i + 1, close - i - 1));
            i = close + 1;
            continue;
        }
        const std::size_t start = i;
        while (i < line.size() && !isSpace(line[i])) ++i;
        words.emplace_back(line.substr(start, i - start));
    }
    return true;
}

// A decimal number of 1 to maxDigits digits.
std::optional<int> parseNumber(std::string_view s, std::size_t maxDigits) {
    if (s.empty() || s.size() > maxDigits) return std::nullopt;
    int value = 0;
    for (char c : s) {
        if (!isDigit(c)) return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

// mm:ss:ff, minutes up to 99, as a count of sectors.
bool parseTime(std::string_view s, std::int32_t& sectors, std::string& why) {
    const std::size_t a = s.find(':');
    const std::size_t b = a == std::string_view::npos ? a : s.find(':', a + 1);
    if (b == std::string_view::npos || s.find(':', b + 1) != std::string_view::npos) {
        why = "a time must be written as mm:ss:ff";
        return false;
    }
    const auto m = parseNumber(s.substr(0, a), 3);
    const auto sec = parseNumber(s.substr(a + 1, b - a - 1), 2);
    const auto f = parseNumber(s.substr(b + 1), 2);
    if (!m || !sec || !f) {
        why = "a time must be written as mm:ss:ff";
        return false;
    }
    if (*m > 99) {
        why = "a time cannot exceed 99 minutes";
        return false;
    }
    if (*sec >= 60) {
        why = "the seconds of a time must be below 60";
        return false;
    }
    if (*f >= kSectorsPerSecond) {
        why = "the frames of a time must be below 75";
        return false;
    }
    sectors = static_cast<std::int32_t>(msfToSectors(Msf{*m, *sec, *f}));
    return true;
}

class Parser {
public:
    CueParseResult run(std::string_view text);

private:
    bool command(std::string_view line);
    bool fileCommand(const std::vector<std::string>& w);
    bool trackCommand(const std::vector<std::string>& w);
    bool indexCommand(const std::vector<std::string>& w);
    bool gapCommand(const std::vector<std::string>& w, bool pre);
    bool finishTrack();
    bool finishFile();
    bool fail(std::string_view message) { return failAt(line_, message); }
    bool failAt(int line, std::string_view message) {
        result_.error = lineError(line, message);
        return false;
    }

    CueParseResult result_;
    CueSheet& sheet_ = result_.sheet;
    int line_ = 0;
    int file_ = -1;  // the current FILE
    bool fileHasIndex_ = false;
    bool pregapGiven_ = false;  // for the current track
    bool postgapGiven_ = false;
    int lastPointFile_ = -1;  // the latest INDEX, to keep positions in order
    std::int32_t lastPointOffset_ = 0;
};

CueParseResult Parser::run(std::string_view text) {
    if (text.size() > kMaxCueSheetBytes) {
        result_.error = "the cue sheet is larger than " + std::to_string(kMaxCueSheetBytes / 1024) +
                        " KiB, far beyond what any disc needs";
        return std::move(result_);
    }
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end;
        if (pos < text.size()) pos += (text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') ? 2 : 1;
        ++line_;
        if (line.size() > kMaxCueLineBytes) {
            fail("the line is longer than " + std::to_string(kMaxCueLineBytes) + " characters");
            return std::move(result_);
        }
        if (line.find('\0') != std::string_view::npos) {
            fail("the line holds a zero byte; this is not a cue sheet");
            return std::move(result_);
        }
        if (!command(line)) return std::move(result_);
    }
    if (!finishTrack() || !finishFile()) return std::move(result_);
    if (sheet_.tracks.empty()) result_.error = "the cue sheet lists no tracks";
    return std::move(result_);
}

bool Parser::command(std::string_view line) {
    std::size_t start = 0;
    while (start < line.size() && isSpace(line[start])) ++start;
    if (start == line.size()) return true;
    std::size_t end = start;
    while (end < line.size() && !isSpace(line[end])) ++end;
    const std::string_view word = line.substr(start, end - start);
    if (isDigit(word[0]) || !std::all_of(word.begin(), word.end(), isWordChar)) {
        std::string message(1, '\'');
        message += quotable(word, 40);
        return fail(message + "' is not a cue sheet command");
    }
    // REM, TITLE, PERFORMER, CATALOG, FLAGS and the like describe the disc without
    // shaping it: they are skipped unread.
    const std::string keyword = upper(word);
    const bool known =
        keyword == "FILE" || keyword == "TRACK" || keyword == "INDEX" || keyword == "PREGAP" || keyword == "POSTGAP";
    if (!known) return true;

    std::vector<std::string> words;
    std::string why;
    if (!tokenize(line.substr(end), words, why)) return fail(why);
    if (keyword == "FILE") return fileCommand(words);
    if (keyword == "TRACK") return trackCommand(words);
    if (keyword == "INDEX") return indexCommand(words);
    return gapCommand(words, keyword == "PREGAP");
}

bool Parser::fileCommand(const std::vector<std::string>& w) {
    if (w.size() != 2) return fail("FILE needs a file name and a type");
    if (w[0].empty()) return fail("FILE has an empty file name");
    const std::string type = upper(w[1]);
    CueFileType fileType;
    if (type == "BINARY")
        fileType = CueFileType::Binary;
    else if (type == "MOTOROLA")
        fileType = CueFileType::Motorola;
    else
        return fail("files of type " + quotable(type, 40) + " are not supported; only BINARY and MOTOROLA are");
    if (!finishFile()) return false;
    if (sheet_.files.size() >= kMaxCueFiles)
        return fail("the sheet names more than " + std::to_string(kMaxCueFiles) + " files");
    sheet_.files.push_back(CueFile{w[0], fileType, line_});
    file_ = static_cast<int>(sheet_.files.size()) - 1;
    fileHasIndex_ = false;
    return true;
}

bool Parser::finishFile() {
    if (file_ >= 0 && !fileHasIndex_) {
        const CueFile& f = sheet_.files[static_cast<std::size_t>(file_)];
        return failAt(f.line, "no INDEX lies in the file '" + quotable(f.name, 200) + "'");
    }
    return true;
}

bool Parser::trackCommand(const std::vector<std::string>& w) {
    if (file_ < 0) return fail("TRACK comes before any FILE");
    if (w.size() != 2) return fail("TRACK needs a number and a mode");
    const auto number = parseNumber(w[0], 3);
    if (!number || *number < 1 || *number > 99) return fail("a track number must be 01 to 99");
    if (!sheet_.tracks.empty() && *number != sheet_.tracks.back().number + 1)
        return fail("track " + twoDigits(*number) + " follows track " + twoDigits(sheet_.tracks.back().number) +
                    "; track numbers must go up by one");
    const std::string mode = upper(w[1]);
    const ModeInfo* info = nullptr;
    for (const ModeInfo& m : kModes)
        if (m.name == mode) info = &m;
    if (info == nullptr) return fail("unknown track mode '" + quotable(mode, 40) + "'");
    if (!finishTrack()) return false;
    CueTrack track;
    track.number = *number;
    track.mode = info->mode;
    track.line = line_;
    sheet_.tracks.push_back(std::move(track));
    pregapGiven_ = postgapGiven_ = false;
    return true;
}

bool Parser::finishTrack() {
    if (sheet_.tracks.empty()) return true;
    const CueTrack& t = sheet_.tracks.back();
    for (const CueIndex& i : t.indexes)
        if (i.number == 1) return true;
    return failAt(t.line, "track " + twoDigits(t.number) + " has no INDEX 01");
}

bool Parser::indexCommand(const std::vector<std::string>& w) {
    if (sheet_.tracks.empty()) return fail("INDEX comes before any TRACK");
    if (w.size() != 2) return fail("INDEX needs a number and a time");
    const auto number = parseNumber(w[0], 3);
    if (!number || *number > 99) return fail("an index number must be 00 to 99");
    std::int32_t offset = 0;
    std::string why;
    if (!parseTime(w[1], offset, why)) return fail(why);
    CueTrack& t = sheet_.tracks.back();
    if (postgapGiven_) return fail("INDEX comes after the track's POSTGAP");
    if (t.indexes.empty()) {
        if (*number > 1) return fail("a track's first INDEX must be 00 or 01");
    } else {
        const int previous = t.indexes.back().number;
        if (*number <= previous)
            return fail("INDEX " + twoDigits(*number) + " follows INDEX " + twoDigits(previous) +
                        "; index numbers must go up");
        if (previous == 0 && *number != 1) return fail("INDEX 00 must be followed by INDEX 01");
    }
    if (lastPointFile_ == file_ && offset < lastPointOffset_)
        return fail("INDEX " + twoDigits(*number) + " lies before the previous INDEX in its file");
    t.indexes.push_back(CueIndex{*number, file_, offset, line_});
    lastPointFile_ = file_;
    lastPointOffset_ = offset;
    fileHasIndex_ = true;
    return true;
}

bool Parser::gapCommand(const std::vector<std::string>& w, bool pre) {
    const char* name = pre ? "PREGAP" : "POSTGAP";
    if (sheet_.tracks.empty()) return fail(std::string(name) + " comes before any TRACK");
    if (w.size() != 1) return fail(std::string(name) + " needs a time");
    std::int32_t sectors = 0;
    std::string why;
    if (!parseTime(w[0], sectors, why)) return fail(why);
    CueTrack& t = sheet_.tracks.back();
    if (pre) {
        if (pregapGiven_) return fail("PREGAP is given twice for one track");
        if (!t.indexes.empty()) return fail("PREGAP must come before the track's first INDEX");
        pregapGiven_ = true;
        t.pregap = sectors;
    } else {
        if (postgapGiven_) return fail("POSTGAP is given twice for one track");
        bool hasIndex1 = false;
        for (const CueIndex& i : t.indexes) hasIndex1 = hasIndex1 || i.number == 1;
        if (!hasIndex1) return fail("POSTGAP must come after the track's INDEX 01");
        postgapGiven_ = true;
        t.postgap = sectors;
    }
    return true;
}

}  // namespace

int sectorStride(TrackMode mode) { return modeInfo(mode).stride; }
bool isAudio(TrackMode mode) { return modeInfo(mode).audio; }

CueParseResult parseCueSheet(std::string_view text) { return Parser().run(text); }

std::string quotable(std::string_view text, std::size_t maxBytes) {
    if (text.size() > maxBytes) {
        std::size_t cut = maxBytes;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;  // back to the start of the sequence that would be cut
        text = text.substr(0, cut);
    }
    std::string out(text);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return out;
}

namespace {

class Layout {
public:
    Layout(const CueSheet& sheet, const std::vector<std::uint64_t>& sizes) : sheet_(sheet), sizes_(sizes) {}
    ImageLayout run();

private:
    bool emit(std::uint64_t sectors, int file, std::uint64_t byteOffset, int stride, bool audio);
    bool fail(std::string message) {
        out_.error = std::move(message);
        return false;
    }
    std::string trackName(std::size_t track) const { return "track " + twoDigits(sheet_.tracks[track].number); }

    const CueSheet& sheet_;
    const std::vector<std::uint64_t>& sizes_;
    ImageLayout out_;
    std::int64_t cursor_ = 0;
};

bool Layout::emit(std::uint64_t sectors, int file, std::uint64_t byteOffset, int stride, bool audio) {
    if (sectors == 0) return true;
    if (sectors > static_cast<std::uint64_t>(kMaxDiscSectors - cursor_))
        return fail("the image is longer than a CD can hold (" +
                    std::to_string(kMaxDiscSectors / (60 * kSectorsPerSecond) + 1) + " minutes)");
    out_.extents.push_back(ImageExtent{static_cast<std::int32_t>(cursor_), static_cast<std::int32_t>(sectors), file,
                                       byteOffset, stride, audio});
    cursor_ += static_cast<std::int64_t>(sectors);
    return true;
}

ImageLayout Layout::run() {
    if (sizes_.size() != sheet_.files.size()) {
        fail("the number of file sizes does not match the sheet");
        return std::move(out_);
    }
    if (sheet_.tracks.empty()) {
        fail("the cue sheet lists no tracks");
        return std::move(out_);
    }
    // Every index in sheet order: the order in which they lie on the disc.
    struct Point {
        std::size_t track;
        std::size_t index;
    };
    std::vector<Point> points;
    for (std::size_t t = 0; t < sheet_.tracks.size(); ++t)
        for (std::size_t i = 0; i < sheet_.tracks[t].indexes.size(); ++i) points.push_back(Point{t, i});

    std::vector<std::int64_t> starts(sheet_.tracks.size(), -1);
    std::size_t owner = 0;  // the track the sectors being laid out belong to
    std::size_t p = 0;
    for (std::size_t f = 0; f < sheet_.files.size(); ++f) {
        const CueFile& file = sheet_.files[f];
        const std::uint64_t size = sizes_[f];
        std::uint64_t byte = 0;
        std::int64_t pos = 0;
        const int fileNo = static_cast<int>(f);
        for (; p < points.size(); ++p) {
            const CueTrack& track = sheet_.tracks[points[p].track];
            const CueIndex& ix = track.indexes[points[p].index];
            if (ix.file != fileNo) break;
            if (ix.offset < pos) {
                fail(lineError(ix.line, "the indexes are out of order"));
                return std::move(out_);
            }
            if (ix.offset > pos) {
                const TrackMode mode = sheet_.tracks[owner].mode;
                const std::uint64_t run = static_cast<std::uint64_t>(ix.offset - pos);
                const std::uint64_t stride = static_cast<std::uint64_t>(sectorStride(mode));
                if (run * stride > size - byte) {
                    fail(lineError(ix.line, "INDEX " + twoDigits(ix.number) + " of " + trackName(points[p].track) +
                                                " lies beyond the end of '" + quotable(file.name, 200) + "'"));
                    return std::move(out_);
                }
                if (!emit(run, fileNo, byte, static_cast<int>(stride), isAudio(mode))) return std::move(out_);
                byte += run * stride;
                pos = ix.offset;
            }
            if (points[p].index == 0) {
                // A new track begins: the silence of the previous track's POSTGAP and of
                // this one's PREGAP comes first.
                std::uint64_t gap = static_cast<std::uint64_t>(std::max(track.pregap, 0));
                if (points[p].track > 0)
                    gap += static_cast<std::uint64_t>(std::max(sheet_.tracks[points[p].track - 1].postgap, 0));
                if (!emit(gap, -1, 0, kBytesPerSector, false)) return std::move(out_);
                owner = points[p].track;
            }
            if (ix.number == 1 && starts[points[p].track] < 0) starts[points[p].track] = cursor_;
        }
        // The rest of the file belongs to the track laid out last.
        const TrackMode mode = sheet_.tracks[owner].mode;
        const std::uint64_t stride = static_cast<std::uint64_t>(sectorStride(mode));
        if (!emit((size - byte) / stride, fileNo, byte, static_cast<int>(stride), isAudio(mode)))
            return std::move(out_);
    }
    if (p != points.size()) {
        const CueIndex& ix = sheet_.tracks[points[p].track].indexes[points[p].index];
        fail(lineError(ix.line, "the INDEX does not belong to any file in order"));
        return std::move(out_);
    }
    if (!emit(static_cast<std::uint64_t>(std::max(sheet_.tracks.back().postgap, 0)), -1, 0, kBytesPerSector, false))
        return std::move(out_);

    for (std::size_t t = 0; t < sheet_.tracks.size(); ++t) {
        if (starts[t] < 0) {
            fail(lineError(sheet_.tracks[t].line, trackName(t) + " has no INDEX 01"));
            return std::move(out_);
        }
    }
    out_.toc.leadoutLba = static_cast<std::int32_t>(cursor_);
    for (std::size_t t = 0; t < sheet_.tracks.size(); ++t) {
        const CueTrack& track = sheet_.tracks[t];
        const std::int64_t end = t + 1 < starts.size() ? starts[t + 1] : cursor_;
        if (end <= starts[t]) {
            fail(lineError(track.line, trackName(t) + " holds no sectors"));
            return std::move(out_);
        }
        out_.toc.tracks.push_back(TrackInfo{track.number, static_cast<std::int32_t>(starts[t]),
                                            static_cast<std::int32_t>(end - starts[t]), isAudio(track.mode)});
    }
    if (!out_.toc.consistent()) fail("the cue sheet does not describe a valid disc");
    return std::move(out_);
}

}  // namespace

ImageLayout layoutImage(const CueSheet& sheet, const std::vector<std::uint64_t>& fileSizes) {
    return Layout(sheet, fileSizes).run();
}

}  // namespace mcidev::cd
