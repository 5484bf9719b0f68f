#include "platform/mcidev/midi/smf.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <new>
#include <stdexcept>

namespace mcidev::midi {

// ---------------------------------------------------------------------------------------
// TempoMap

namespace {
constexpr std::uint32_t kDefaultTempo = 500'000;  // 120 beats per minute
}

TempoMap::TempoMap() : segments_{Segment{0, 0, kDefaultTempo}} {}

TempoMap TempoMap::quarterNotes(std::uint16_t ticksPerQuarter) {
    TempoMap map;
    map.den_ = ticksPerQuarter == 0 ? 1 : ticksPerQuarter;
    return map;
}

TempoMap TempoMap::timecode(int framesPerSecond, int ticksPerFrame) {
    TempoMap map;
    map.timecode_ = true;
    const std::uint64_t perFrame = ticksPerFrame < 1 ? 1 : static_cast<std::uint64_t>(ticksPerFrame);
    if (framesPerSecond == 29) {
        // 30000/1001 frames per second: a tick lasts 1001e6 / (30000 * ticksPerFrame) us.
        map.den_ = 30'000 * perFrame;
        map.segments_[0].unit = 1'001'000'000;
    } else {
        const std::uint64_t fps = framesPerSecond < 1 ? 1 : static_cast<std::uint64_t>(framesPerSecond);
        map.den_ = fps * perFrame;
        map.segments_[0].unit = 1'000'000;
    }
    return map;
}

void TempoMap::setTempo(std::uint64_t tick, std::uint32_t microsPerQuarter) {
    if (timecode_ || microsPerQuarter == 0) {
        return;
    }
    Segment& last = segments_.back();
    if (tick < last.tick) {
        return;
    }
    if (tick == last.tick) {
        last.unit = microsPerQuarter;
        return;
    }
    const Wide start = last.start + static_cast<Wide>(tick - last.tick) * last.unit;
    segments_.push_back(Segment{tick, start, microsPerQuarter});
}

const TempoMap::Segment& TempoMap::segmentAt(std::uint64_t tick) const {
    auto it = std::upper_bound(segments_.begin(), segments_.end(), tick,
                               [](std::uint64_t t, const Segment& s) { return t < s.tick; });
    return *(it - 1);  // segments_[0].tick is 0, so `it` is never begin()
}

TempoMap::Wide TempoMap::numerator(std::uint64_t tick) const {
    const Segment& s = segmentAt(tick);
    return s.start + static_cast<Wide>(tick - s.tick) * s.unit;
}

std::uint64_t TempoMap::roundedMs(std::uint64_t tick) const {
    const Wide den = static_cast<Wide>(den_) * 1000;
    const Wide value = (numerator(tick) + den / 2) / den;
    return value > std::numeric_limits<std::uint64_t>::max() ? std::numeric_limits<std::uint64_t>::max()
                                                             : static_cast<std::uint64_t>(value);
}

std::uint64_t TempoMap::frame(std::uint64_t tick, std::uint32_t sampleRate) const {
    const Wide den = static_cast<Wide>(den_) * 1'000'000;
    const Wide value = (numerator(tick) * sampleRate + den / 2) / den;
    return value > std::numeric_limits<std::uint64_t>::max() ? std::numeric_limits<std::uint64_t>::max()
                                                             : static_cast<std::uint64_t>(value);
}

// ---------------------------------------------------------------------------------------
// Reading

namespace {

using Bytes = std::span<const std::uint8_t>;

std::uint32_t be32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | std::uint32_t{p[3]};
}

std::uint16_t be16(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }

std::uint32_t le32(const std::uint8_t* p) {
    return (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | std::uint32_t{p[0]};
}

bool hasId(Bytes bytes, std::size_t pos, const char* id) {
    return bytes.size() >= 4 && pos <= bytes.size() - 4 && std::memcmp(bytes.data() + pos, id, 4) == 0;
}

// A variable-length quantity: at most four bytes, seven bits each.
bool readVarLen(Bytes data, std::size_t& pos, std::uint32_t& value) {
    value = 0;
    for (int i = 0; i < 4; ++i) {
        if (pos >= data.size()) {
            return false;
        }
        const std::uint8_t b = data[pos++];
        value = (value << 7) | (b & 0x7F);
        if ((b & 0x80) == 0) {
            return true;
        }
    }
    return false;
}

// Finds the "data" chunk of a RIFF "RMID" file.
MidiError unwrapRiff(Bytes bytes, Bytes& smf) {
    // The RIFF size is often wrong in the wild; never look past the real end.
    const std::size_t declared = std::size_t{le32(bytes.data() + 4)};
    const std::size_t end = declared > bytes.size() - 8 ? bytes.size() : declared + 8;
    std::size_t pos = 12;
    if (end < pos) {
        return MidiError::Damaged;
    }
    while (end - pos >= 8) {
        const std::size_t size = le32(bytes.data() + pos + 4);
        const std::size_t body = pos + 8;
        if (size > end - body) {
            return MidiError::Damaged;
        }
        if (hasId(bytes, pos, "data")) {
            smf = bytes.subspan(body, size);
            return MidiError::None;
        }
        const std::size_t padded = size + (size & 1);
        if (padded > end - body) {
            break;
        }
        pos = body + padded;
    }
    return MidiError::Damaged;
}

class TrackReader {
public:
    TrackReader(Sequence& seq, std::vector<MidiEvent>& events, const ReadLimits& limits)
        : seq_(seq), events_(events), limits_(limits) {}

    MidiError read(Bytes data, std::uint16_t track, std::uint64_t& endTick);

private:
    MidiError push(const MidiEvent& event);
    MidiError pushData(MidiEvent event, Bytes data);

    Sequence& seq_;
    std::vector<MidiEvent>& events_;
    const ReadLimits& limits_;
};

MidiError TrackReader::push(const MidiEvent& event) {
    if (events_.size() >= limits_.maxEvents) {
        return MidiError::TooLarge;
    }
    events_.push_back(event);
    return MidiError::None;
}

MidiError TrackReader::pushData(MidiEvent event, Bytes data) {
    if (seq_.payload.size() + data.size() > std::numeric_limits<std::uint32_t>::max()) {
        return MidiError::TooLarge;
    }
    event.offset = static_cast<std::uint32_t>(seq_.payload.size());
    event.length = static_cast<std::uint32_t>(data.size());
    if (MidiError e = push(event); e != MidiError::None) {
        return e;
    }
    seq_.payload.insert(seq_.payload.end(), data.begin(), data.end());
    return MidiError::None;
}

MidiError TrackReader::read(Bytes data, std::uint16_t track, std::uint64_t& endTick) {
    std::size_t pos = 0;
    std::uint64_t tick = 0;
    std::uint8_t running = 0;
    // A system-exclusive message split over several packets, collected until its F7.
    std::vector<std::uint8_t> pending;
    bool inSysEx = false;

    while (pos < data.size()) {
        std::uint32_t delta = 0;
        if (!readVarLen(data, pos, delta) || pos >= data.size()) {
            return MidiError::Damaged;
        }
        tick += delta;

        MidiEvent event;
        event.tick = tick;
        event.track = track;

        std::uint8_t status = data[pos];
        if (status & 0x80) {
            ++pos;
            if (status < 0xF0) {
                running = status;
            }
        } else {
            // Running status. Meta and system-exclusive events do not cancel it here:
            // files that rely on it surviving them play as their authors heard them.
            if (running == 0) {
                return MidiError::Damaged;
            }
            status = running;
        }

        if (status < 0xF0) {
            const std::size_t count = (status & 0xE0) == 0xC0 ? 1 : 2;  // Cn and Dn take one
            if (data.size() - pos < count) {
                return MidiError::Damaged;
            }
            event.kind = EventKind::Channel;
            event.status = status;
            event.data1 = data[pos];
            event.data2 = count == 2 ? data[pos + 1] : 0;
            if ((event.data1 | event.data2) & 0x80) {
                return MidiError::Damaged;
            }
            pos += count;
            if (MidiError e = push(event); e != MidiError::None) {
                return e;
            }
            continue;
        }

        if (status == 0xF0 || status == 0xF7) {
            std::uint32_t length = 0;
            if (!readVarLen(data, pos, length) || length > data.size() - pos) {
                return MidiError::Damaged;
            }
            const Bytes packet = data.subspan(pos, length);
            pos += length;
            const bool ends = !packet.empty() && packet.back() == 0xF7;
            if (status == 0xF0 || inSysEx) {
                if (status == 0xF0) {
                    pending.clear();  // an unfinished earlier message is dropped
                }
                pending.insert(pending.end(), packet.begin(), packet.end());
                inSysEx = !ends;
                if (ends) {
                    event.kind = EventKind::SysEx;
                    event.status = 0xF0;
                    if (MidiError e = pushData(event, Bytes(pending).first(pending.size() - 1)); e != MidiError::None) {
                        return e;
                    }
                    pending.clear();
                }
            } else if (packet.size() >= 2 && packet.front() == 0xF0 && ends) {
                // An escape that carries a whole system-exclusive message.
                event.kind = EventKind::SysEx;
                event.status = 0xF0;
                if (MidiError e = pushData(event, packet.subspan(1, packet.size() - 2)); e != MidiError::None) {
                    return e;
                }
            } else {
                event.kind = EventKind::Escape;
                event.status = 0xF7;
                if (MidiError e = pushData(event, packet); e != MidiError::None) {
                    return e;
                }
            }
            continue;
        }

        if (status == 0xFF) {
            std::uint32_t length = 0;
            if (pos >= data.size()) {
                return MidiError::Damaged;
            }
            const std::uint8_t type = data[pos++];
            if (!readVarLen(data, pos, length) || length > data.size() - pos) {
                return MidiError::Damaged;
            }
            event.kind = EventKind::Meta;
            event.status = type;
            if (MidiError e = pushData(event, data.subspan(pos, length)); e != MidiError::None) {
                return e;
            }
            pos += length;
            if (type == kMetaEndOfTrack) {
                break;  // anything after it in the chunk is not part of the track
            }
            continue;
        }

        // System common and real-time messages have no place in a file.
        return MidiError::Damaged;
    }
    endTick = tick;
    return MidiError::None;
}

MidiError readSmf(Bytes smf, Sequence& out, const ReadLimits& limits) {
    if (smf.size() < 8) {
        return MidiError::Damaged;
    }
    const std::uint32_t headerLength = be32(smf.data() + 4);
    if (headerLength < 6 || headerLength > smf.size() - 8) {
        return MidiError::Damaged;
    }
    const std::uint16_t format = be16(smf.data() + 8);
    const std::uint16_t tracks = be16(smf.data() + 10);
    const std::uint16_t division = be16(smf.data() + 12);
    if (format > 1) {
        return MidiError::Unsupported;
    }
    if (tracks == 0) {
        return MidiError::Damaged;
    }

    out = Sequence{};
    out.format = format;
    if (division & 0x8000) {
        const int fps = -static_cast<int>(static_cast<std::int8_t>(division >> 8));
        const int ticksPerFrame = division & 0xFF;
        if ((fps != 24 && fps != 25 && fps != 29 && fps != 30) || ticksPerFrame == 0) {
            return MidiError::Damaged;
        }
        out.tempo = TempoMap::timecode(fps, ticksPerFrame);
    } else {
        if (division == 0) {
            return MidiError::Damaged;
        }
        out.tempo = TempoMap::quarterNotes(division);
    }

    std::vector<MidiEvent> events;
    TrackReader reader(out, events, limits);
    std::size_t pos = 8 + std::size_t{headerLength};
    std::uint16_t read = 0;
    while (read < tracks) {
        if (smf.size() - pos < 8) {
            return MidiError::Damaged;
        }
        const std::size_t length = be32(smf.data() + pos + 4);
        const std::size_t body = pos + 8;
        if (length > smf.size() - body) {
            return MidiError::Damaged;
        }
        if (hasId(smf, pos, "MTrk")) {
            std::uint64_t endTick = 0;
            if (MidiError e = reader.read(smf.subspan(body, length), read, endTick); e != MidiError::None) {
                return e;
            }
            out.lengthTicks = std::max(out.lengthTicks, endTick);
            ++read;
        }
        // Chunks of other types are skipped.
        pos = body + length;
    }
    out.trackCount = read;

    // Tracks were appended one after another, so a stable sort by tick keeps track order
    // and then file order among events at the same tick.
    std::stable_sort(events.begin(), events.end(),
                     [](const MidiEvent& a, const MidiEvent& b) { return a.tick < b.tick; });
    for (const MidiEvent& e : events) {
        if (e.kind == EventKind::Meta && e.status == kMetaTempo && e.length >= 3) {
            const std::uint8_t* p = out.payload.data() + e.offset;
            out.tempo.setTempo(e.tick, (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2]);
        }
    }
    const std::uint64_t lengthMs = out.tempo.roundedMs(out.lengthTicks);
    if (lengthMs > std::numeric_limits<std::uint32_t>::max()) {
        return MidiError::TooLong;
    }
    out.events = std::move(events);
    out.lengthMs = static_cast<std::uint32_t>(lengthMs);
    return MidiError::None;
}

MidiError readAny(Bytes bytes, Sequence& out, const ReadLimits& limits) {
    if (bytes.size() > limits.maxBytes) {
        return MidiError::TooLarge;
    }
    if (hasId(bytes, 0, "RIFF")) {
        if (bytes.size() < 12 || !hasId(bytes, 8, "RMID")) {
            return MidiError::NotMidi;
        }
        Bytes smf;
        if (MidiError e = unwrapRiff(bytes, smf); e != MidiError::None) {
            return e;
        }
        if (!hasId(smf, 0, "MThd")) {
            return MidiError::Damaged;
        }
        return readSmf(smf, out, limits);
    }
    if (!hasId(bytes, 0, "MThd")) {
        return MidiError::NotMidi;
    }
    return readSmf(bytes, out, limits);
}

}  // namespace

MidiError readMidi(std::span<const std::uint8_t> bytes, Sequence& out, const ReadLimits& limits) {
    try {
        return readAny(bytes, out, limits);
    } catch (const std::bad_alloc&) {
        return MidiError::OutOfMemory;
    } catch (const std::length_error&) {
        return MidiError::OutOfMemory;
    }
}

MidiError readMidiFile(const std::string& path, Sequence& out, const ReadLimits& limits) {
    std::error_code ec;
    const std::filesystem::path file(path);
    if (!std::filesystem::is_regular_file(file, ec)) {
        return MidiError::CannotOpen;
    }
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (ec) {
        return MidiError::CannotOpen;
    }
    if (size > limits.maxBytes) {
        return MidiError::TooLarge;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return MidiError::CannotOpen;
    }
    std::vector<std::uint8_t> bytes;
    try {
        // One byte more than expected tells a file that grew since it was measured.
        bytes.resize(static_cast<std::size_t>(size) + 1);
    } catch (const std::bad_alloc&) {
        return MidiError::OutOfMemory;
    }
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    const auto got = static_cast<std::size_t>(in.gcount());
    if (in.bad() || got < size) {
        return MidiError::CannotRead;
    }
    if (got > size) {
        return got > limits.maxBytes ? MidiError::TooLarge : MidiError::CannotRead;
    }
    bytes.resize(got);
    return readMidi(bytes, out, limits);
}

}  // namespace mcidev::midi
