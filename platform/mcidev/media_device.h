// What the three device kinds have in common: the transport (play, stop, pause,
// resume, seek), the status items, time formats, capabilities and the completion
// notice. A kind supplies its source, its positions and its tracks.
//
// Everything here runs on the user-interface thread; only the Playback's audio thread
// reads the source while a play runs, and it reports its end through `finished`.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "mci/commands.h"
#include "platform/mcidev/audio_output.h"
#include "platform/mcidev/audio_source.h"
#include "platform/mcidev/playback.h"

namespace mcidev {

// Where a completion notice goes: the window of the request, and the open device
// (id and which opening of that id) it speaks for.
struct NoticeTarget {
    mci::HWND window = 0;
    mci::MCIDEVICEID id = 0;
    std::uint64_t opening = 0;
};

struct Notice {
    NoticeTarget target;
    mci::UINT outcome = 0;
};

// Notices decided while a command runs; the manager posts them when it has returned.
using Outbox = std::vector<Notice>;

// One open of a device: what a device id stands for.
struct OpenHandle {
    mci::MCIDEVICEID id = 0;
    std::uint64_t opening = 0;
    mci::DWORD timeFormat = 0;
};

class MediaDevice {
public:
    // `finished` is what the audio thread calls when a play has run out; it must only
    // arrange for settle() to run later on the user-interface thread.
    MediaDevice(AudioOutput& output, std::function<void()> finished);
    virtual ~MediaDevice();
    MediaDevice(const MediaDevice&) = delete;
    MediaDevice& operator=(const MediaDevice&) = delete;

    virtual mci::DWORD deviceType() const = 0;
    virtual mci::DWORD defaultTimeFormat() const = 0;

    mci::MCIERROR command(OpenHandle& handle, mci::UINT message, mci::DWORD flags, void* params, Outbox& out);
    // Takes in a play that has run out: the device stops and its notice is sent.
    void settle(Outbox& out);
    // A handle closes: its pending notice is aborted. When it is the last one, the
    // device also stops.
    void release(const OpenHandle& handle, bool last, Outbox& out);

protected:
    enum class State { Stopped, Playing, Paused };

    // The media: not ready (no disc) makes most commands fail.
    virtual mci::MCIERROR checkReady() { return 0; }
    // The mode reported while not ready.
    virtual mci::DWORD notReadyMode() const { return mci::MCI_MODE_NOT_READY; }
    // Called at the start of each command: a kind may look for changed media here.
    virtual void refreshMedia(Outbox&) {}
    // Called before a new run starts from a stop or a pause, with nothing playing: a
    // kind may look at its media again and take it up afresh. An error fails the
    // request; the position and the end of a paused run are then kept within the media.
    virtual mci::MCIERROR recheckMedia() { return 0; }
    // What a play waited for returns when its source failed before the end.
    virtual mci::MCIERROR readFailure() const { return mci::MCIERR_FILE_READ; }

    virtual AudioSource& source() = 0;
    // Moves the source before a play starts (the output is not running then).
    virtual bool seekSource(AudioSource& source, std::uint64_t frame) { return source.seek(frame); }
    // The output has stopped pulling from the source.
    virtual void sourceIdle() {}
    virtual std::uint64_t mediaStart() const { return 0; }
    virtual std::uint64_t mediaEnd() const = 0;

    virtual bool supportsTimeFormat(mci::DWORD format) const = 0;
    // A position in `format` as a frame; MCIERR_OUTOFRANGE when it names no position
    // of the media.
    virtual mci::MCIERROR toFrame(mci::DWORD format, mci::DWORD value, std::uint64_t& frame) const = 0;
    virtual mci::DWORD fromFrame(mci::DWORD format, std::uint64_t frame) const = 0;
    // A length of `frames` frames in `format`.
    virtual mci::DWORD duration(mci::DWORD format, std::uint64_t frames) const = 0;

    virtual int trackCount() const { return 1; }
    // Frames [start, end) of a track; false when there is no such track.
    virtual bool trackSpan(int track, std::uint64_t& start, std::uint64_t& end) const;
    virtual int trackAt(std::uint64_t frame) const;

    virtual bool usesFiles() const { return true; }
    virtual bool canEject() const { return false; }
    virtual mci::MCIERROR openDoor() { return mci::MCIERR_UNSUPPORTED_FUNCTION; }
    virtual mci::MCIERROR closeDoor() { return mci::MCIERR_UNSUPPORTED_FUNCTION; }

    // Stops a play or a pause, aborting its notice, and leaves the position where the
    // sound was.
    void stopTransport(Outbox& out);
    void setPosition(std::uint64_t frame) { position_ = frame; }
    // Ends a running play without a notice; each kind calls it first thing in its
    // destructor, while its source still exists.
    void haltPlayback() { playback_.reset(); }
    State state() const { return state_; }
    std::uint64_t currentFrame() const;

private:
    mci::MCIERROR play(OpenHandle& h, mci::DWORD flags, mci::MCI_PLAY_PARMS* p, Outbox& out);
    mci::MCIERROR stop(OpenHandle& h, mci::DWORD flags, mci::MCI_GENERIC_PARMS* p, Outbox& out);
    mci::MCIERROR pause(OpenHandle& h, mci::DWORD flags, mci::MCI_GENERIC_PARMS* p, Outbox& out);
    mci::MCIERROR resume(OpenHandle& h, mci::DWORD flags, mci::MCI_GENERIC_PARMS* p, Outbox& out);
    mci::MCIERROR seek(OpenHandle& h, mci::DWORD flags, mci::MCI_SEEK_PARMS* p, Outbox& out);
    mci::MCIERROR status(OpenHandle& h, mci::DWORD flags, mci::MCI_STATUS_PARMS* p, Outbox& out);
    mci::MCIERROR set(OpenHandle& h, mci::DWORD flags, mci::MCI_SET_PARMS* p, Outbox& out);
    mci::MCIERROR capabilities(OpenHandle& h, mci::DWORD flags, mci::MCI_GETDEVCAPS_PARMS* p, Outbox& out);

    mci::MCIERROR recheck();
    mci::MCIERROR startPlayback(std::uint64_t from, std::uint64_t to);
    void endPlayback();  // closes the output, keeping the position heard
    // Ends the play (stopped, position kept) and sends its pending notice as `outcome`.
    void endRun(Outbox& out, mci::UINT outcome);
    mci::MCIERROR waitForEnd(Outbox& out);

    // A command that asks for a notice and names a window: the one pending is
    // superseded; `now` sends the new one's success at once, otherwise it waits for
    // the play.
    void takeNotify(const OpenHandle& h, mci::DWORD flags, mci::DWORD_PTR callback, bool now, Outbox& out);
    void abortPending(Outbox& out);

    AudioOutput& output_;
    std::function<void()> finished_;
    std::unique_ptr<Playback> playback_;
    State state_ = State::Stopped;
    std::uint64_t position_ = 0;  // while not playing
    std::uint64_t playEnd_ = 0;   // where the current (or paused) play ends
    std::optional<NoticeTarget> pending_;
};

// Reads the callback window of any parameter record (all of them begin with it).
mci::DWORD_PTR callbackOf(const void* params);

}  // namespace mcidev
