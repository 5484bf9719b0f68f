// Builds small MIDI files in memory for the tests and the benchmarks.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace midi_test {

using Bytes = std::vector<std::uint8_t>;

inline void putVarLen(Bytes& out, std::uint32_t value) {
    int shift = 21;
    while (shift > 0 && (value >> shift) == 0) shift -= 7;
    for (; shift > 0; shift -= 7) out.push_back(static_cast<std::uint8_t>(((value >> shift) & 0x7F) | 0x80));
    out.push_back(value & 0x7F);
}

inline void put(Bytes& out, std::uint32_t value, int bytes, bool bigEndian = true) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * (bigEndian ? bytes - 1 - i : i))));
}

// The body of one MTrk chunk. Each call takes the delta time before its event.
class Track {
public:
    // Any bytes after the delta: a status byte, or data bytes under running status.
    Track& raw(std::uint32_t delta, std::initializer_list<std::uint8_t> bytes) {
        putVarLen(data_, delta);
        data_.insert(data_.end(), bytes);
        return *this;
    }
    Track& noteOn(std::uint32_t delta, int ch, int key, int vel = 100) {
        return raw(delta, {b(0x90 | ch), b(key), b(vel)});
    }
    Track& noteOff(std::uint32_t delta, int ch, int key) { return raw(delta, {b(0x80 | ch), b(key), 0}); }
    Track& program(std::uint32_t delta, int ch, int program) { return raw(delta, {b(0xC0 | ch), b(program)}); }
    Track& cc(std::uint32_t delta, int ch, int controller, int value) {
        return raw(delta, {b(0xB0 | ch), b(controller), b(value)});
    }
    Track& meta(std::uint32_t delta, std::uint8_t type, const Bytes& payload) {
        return packet(delta, {0xFF, type}, payload);
    }
    Track& tempo(std::uint32_t delta, std::uint32_t microsPerQuarter) {
        return meta(delta, 0x51, {b(microsPerQuarter >> 16), b(microsPerQuarter >> 8), b(microsPerQuarter)});
    }
    Track& text(std::uint32_t delta, const std::string& s) { return meta(delta, 0x01, Bytes(s.begin(), s.end())); }
    // A system-exclusive packet: status 0xF0 or 0xF7, then its length and bytes.
    Track& sysex(std::uint32_t delta, std::uint8_t status, const Bytes& payload) {
        return packet(delta, {status}, payload);
    }
    Track& end(std::uint32_t delta = 0) { return meta(delta, 0x2F, {}); }

    const Bytes& bytes() const { return data_; }

private:
    static std::uint8_t b(int v) { return static_cast<std::uint8_t>(v); }
    Track& packet(std::uint32_t delta, std::initializer_list<std::uint8_t> head, const Bytes& payload) {
        raw(delta, head);
        putVarLen(data_, static_cast<std::uint32_t>(payload.size()));
        data_.insert(data_.end(), payload.begin(), payload.end());
        return *this;
    }
    Bytes data_;
};

inline Bytes chunk(const char* id, const Bytes& body) {
    Bytes out(id, id + 4);
    put(out, static_cast<std::uint32_t>(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// A whole Standard MIDI File. `division` is the raw header word.
inline Bytes smf(int format, std::uint16_t division, const std::vector<Track>& tracks) {
    Bytes header;
    put(header, static_cast<std::uint32_t>(format), 2);
    put(header, static_cast<std::uint32_t>(tracks.size()), 2);
    put(header, division, 2);
    Bytes out = chunk("MThd", header);
    for (const Track& t : tracks) {
        const Bytes c = chunk("MTrk", t.bytes());
        out.insert(out.end(), c.begin(), c.end());
    }
    return out;
}

// A RIFF "RMID" file holding `midi` in its data chunk, after an INFO list of odd size
// (a pad byte follows it).
inline Bytes rmi(const Bytes& midi) {
    Bytes body{'R', 'M', 'I', 'D', 'L', 'I', 'S', 'T', 9, 0, 0, 0, 'I', 'N', 'F', 'O', 'a', 'b', 'c', 'd', 'e', 0};
    body.insert(body.end(), {'d', 'a', 't', 'a'});
    put(body, static_cast<std::uint32_t>(midi.size()), 4, false);
    body.insert(body.end(), midi.begin(), midi.end());
    Bytes out{'R', 'I', 'F', 'F'};
    put(out, static_cast<std::uint32_t>(body.size()), 4, false);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

}  // namespace midi_test
