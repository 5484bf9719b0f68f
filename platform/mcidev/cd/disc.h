// A disc in a drive: its state, its table of contents and its audio sectors. Two
// kinds exist: the computer's CD drive (DriveDisc) and a disc image made of a cue
// sheet and its binary files (ImageDisc).
//
// Every member is safe to call from several threads: the device's audio thread reads
// sectors while the user-interface thread asks for the state or refreshes it.
#pragma once

#include <cstdint>
#include <string>

#include "platform/mcidev/cd/toc.h"

namespace mcidev::cd {

enum class DiscState {
    NoDrive,  // no drive at all, or it could not be opened
    NoDisc,   // a drive without a (readable) disc, or with its tray open
    Ready,    // a disc with a table of contents
};

class Disc {
public:
    virtual ~Disc() = default;

    virtual DiscState state() const = 0;
    // The drive's device node or the image's cue sheet path.
    virtual std::string name() const = 0;
    // The table of contents; empty unless Ready.
    virtual Toc toc() const = 0;

    // Looks again at the drive: a disc put in or taken out, a drive that appeared.
    // Returns true when the state or the table of contents changed.
    virtual bool refresh() = 0;

    // Reads `sectors` sectors from `lba` on as CD audio: 2352 bytes per sector, signed
    // 16-bit little-endian samples, left then right. Sectors of data tracks and of
    // silent gaps read as silence, as a player mutes them. False when not Ready, when
    // the range leaves [0, lead-out), or on a read error (the buffer is then
    // undefined).
    virtual bool readAudio(std::int32_t lba, int sectors, std::uint8_t* buffer) = 0;

    virtual bool canEject() const = 0;
    // Opens the tray. On success the state becomes NoDisc.
    virtual bool eject() = 0;
};

}  // namespace mcidev::cd
