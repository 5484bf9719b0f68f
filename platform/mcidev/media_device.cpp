#include "platform/mcidev/media_device.h"

#include <algorithm>
#include <cstring>

#include "platform/mcidev/error_text.h"

namespace mcidev {

using namespace mci;

DWORD_PTR callbackOf(const void* params) {
    DWORD_PTR callback = 0;
    if (params != nullptr) std::memcpy(&callback, params, sizeof callback);
    return callback;
}

MediaDevice::MediaDevice(AudioOutput& output, std::function<void()> finished)
    : output_(output), finished_(std::move(finished)) {}

MediaDevice::~MediaDevice() { playback_.reset(); }

MCIERROR MediaDevice::command(OpenHandle& handle, UINT message, DWORD flags, void* params, Outbox& out) {
    refreshMedia(out);
    settle(out);
    // A play whose output has gone is over: asked now, the device must not claim to play.
    if (state_ == State::Playing && playback_ && playback_->outputLost()) endRun(out, MCI_NOTIFY_FAILURE);
    if ((flags & MCI_NOTIFY) != 0 && params == nullptr) return MCIERR_NULL_PARAMETER_BLOCK;
    switch (message) {
    case MCI_PLAY: return play(handle, flags, static_cast<MCI_PLAY_PARMS*>(params), out);
    case MCI_STOP: return stop(handle, flags, static_cast<MCI_GENERIC_PARMS*>(params), out);
    case MCI_PAUSE: return pause(handle, flags, static_cast<MCI_GENERIC_PARMS*>(params), out);
    case MCI_RESUME: return resume(handle, flags, static_cast<MCI_GENERIC_PARMS*>(params), out);
    case MCI_SEEK: return seek(handle, flags, static_cast<MCI_SEEK_PARMS*>(params), out);
    case MCI_STATUS: return status(handle, flags, static_cast<MCI_STATUS_PARMS*>(params), out);
    case MCI_SET: return set(handle, flags, static_cast<MCI_SET_PARMS*>(params), out);
    case MCI_GETDEVCAPS: return capabilities(handle, flags, static_cast<MCI_GETDEVCAPS_PARMS*>(params), out);
    // Commands every device knows, which these devices do not carry out.
    case MCI_RECORD:
    case MCI_SAVE:
    case MCI_LOAD:
    case MCI_CUE:
    case MCI_INFO:
    case MCI_SYSINFO:
    case MCI_BREAK:
    case MCI_DELETE:
    case MCI_CUT:
    case MCI_COPY:
    case MCI_PASTE: return MCIERR_UNSUPPORTED_FUNCTION;
    // Picture commands (window, where, step, put, freeze...) are not part of an
    // audio device's command set, and neither is anything unknown.
    default: return MCIERR_UNRECOGNIZED_COMMAND;
    }
}

void MediaDevice::settle(Outbox& out) {
    if (state_ != State::Playing || !playback_ || !playback_->finished()) return;
    // A run that reached its end on an output that had gone was not heard either.
    const bool failed = playback_->failed() || playback_->outputLost();
    endRun(out, failed ? MCI_NOTIFY_FAILURE : MCI_NOTIFY_SUCCESSFUL);
}

void MediaDevice::endRun(Outbox& out, UINT outcome) {
    endPlayback();
    state_ = State::Stopped;
    if (pending_) {
        out.push_back({*pending_, outcome});
        pending_.reset();
    }
}

void MediaDevice::release(const OpenHandle& handle, bool last, Outbox& out) {
    if (pending_ && pending_->id == handle.id && pending_->opening == handle.opening) abortPending(out);
    if (last) stopTransport(out);
}

std::uint64_t MediaDevice::currentFrame() const {
    if (state_ == State::Playing && playback_) return playback_->position();
    return position_;
}

bool MediaDevice::trackSpan(int track, std::uint64_t& start, std::uint64_t& end) const {
    if (track != 1) return false;
    start = mediaStart();
    end = mediaEnd();
    return true;
}

int MediaDevice::trackAt(std::uint64_t) const { return 1; }

void MediaDevice::stopTransport(Outbox& out) {
    if (state_ == State::Playing) endPlayback();
    state_ = State::Stopped;
    abortPending(out);
}

void MediaDevice::endPlayback() {
    if (!playback_) return;
    position_ = playback_->position();
    playback_.reset();
    sourceIdle();
}

MCIERROR MediaDevice::recheck() {
    if (state_ == State::Playing) return 0;
    if (const MCIERROR e = recheckMedia()) return e;
    position_ = std::min(position_, mediaEnd());
    playEnd_ = std::min(playEnd_, mediaEnd());
    return 0;
}

MCIERROR MediaDevice::startPlayback(std::uint64_t from, std::uint64_t to) {
    AudioSource& src = source();
    if (!seekSource(src, from)) return MCIERR_HARDWARE;
    std::unique_ptr<Playback> run;
    const MCIERROR result = Playback::start(output_, src, to, finished_, run);
    if (result != 0) {
        sourceIdle();
        return result;
    }
    playback_ = std::move(run);
    state_ = State::Playing;
    playEnd_ = to;
    return 0;
}

void MediaDevice::takeNotify(const OpenHandle& h, DWORD flags, DWORD_PTR callback, bool now, Outbox& out) {
    if ((flags & MCI_NOTIFY) == 0 || callback == 0) return;
    if (pending_) {
        out.push_back({*pending_, MCI_NOTIFY_SUPERSEDED});
        pending_.reset();
    }
    const NoticeTarget target{static_cast<HWND>(callback), h.id, h.opening};
    if (now) {
        out.push_back({target, MCI_NOTIFY_SUCCESSFUL});
    } else {
        pending_ = target;
    }
}

void MediaDevice::abortPending(Outbox& out) {
    if (!pending_) return;
    out.push_back({*pending_, MCI_NOTIFY_ABORTED});
    pending_.reset();
}

MCIERROR MediaDevice::waitForEnd(Outbox& out) {
    if (!playback_) return 0;
    if (!playback_->waitFinished()) {
        // The output stopped taking sound: give up rather than hang the caller.
        endRun(out, MCI_NOTIFY_FAILURE);
        return MCIERR_AUDIO_OUTPUT_LOST;
    }
    const bool failed = playback_->failed();
    settle(out);
    return failed ? readFailure() : 0;
}

MCIERROR MediaDevice::play(OpenHandle& h, DWORD flags, MCI_PLAY_PARMS* p, Outbox& out) {
    if ((flags & (MCI_FROM | MCI_TO)) != 0 && p == nullptr) return MCIERR_NULL_PARAMETER_BLOCK;
    if (const MCIERROR e = checkReady()) return e;
    if (const MCIERROR e = recheck()) return e;
    std::uint64_t from = currentFrame();
    std::uint64_t to = mediaEnd();
    if ((flags & MCI_FROM) != 0) {
        if (const MCIERROR e = toFrame(h.timeFormat, p->dwFrom, from)) return e;
    }
    if ((flags & MCI_TO) != 0) {
        if (const MCIERROR e = toFrame(h.timeFormat, p->dwTo, to)) return e;
    }
    if ((flags & MCI_FROM) == 0 && from < mediaStart()) from = mediaStart();
    if (from < mediaStart() || from > mediaEnd() || to > mediaEnd() || from > to) return MCIERR_OUTOFRANGE;

    const DWORD_PTR callback = callbackOf(p);
    const bool wantsNotice = (flags & MCI_NOTIFY) != 0 && callback != 0;
    // A play that cuts another short aborts that one's notice, even when it asks for a
    // notice of its own: the other's end can no longer come.
    if (state_ == State::Playing || state_ == State::Paused) abortPending(out);
    if (state_ == State::Playing) endPlayback();
    state_ = State::Stopped;

    if (from == to) {
        position_ = from;
        if (!wantsNotice) abortPending(out);
        takeNotify(h, flags, callback, true, out);
        return 0;
    }
    if (const MCIERROR e = startPlayback(from, to)) {
        abortPending(out);
        return e;
    }
    if (wantsNotice) {
        takeNotify(h, flags, callback, false, out);
    } else {
        abortPending(out);
    }
    if ((flags & MCI_WAIT) != 0) return waitForEnd(out);
    return 0;
}

MCIERROR MediaDevice::stop(OpenHandle& h, DWORD flags, MCI_GENERIC_PARMS* p, Outbox& out) {
    stopTransport(out);
    takeNotify(h, flags, callbackOf(p), true, out);
    return 0;
}

MCIERROR MediaDevice::pause(OpenHandle& h, DWORD flags, MCI_GENERIC_PARMS* p, Outbox& out) {
    if (const MCIERROR e = checkReady()) return e;
    if (state_ == State::Playing) {
        endPlayback();
        state_ = State::Paused;
    }
    takeNotify(h, flags, callbackOf(p), true, out);
    return 0;
}

MCIERROR MediaDevice::resume(OpenHandle& h, DWORD flags, MCI_GENERIC_PARMS* p, Outbox& out) {
    if (const MCIERROR e = checkReady()) return e;
    if (state_ == State::Stopped) return MCIERR_NONAPPLICABLE_FUNCTION;
    if (state_ == State::Paused) {
        if (const MCIERROR e = recheck()) return e;
        if (const MCIERROR e = startPlayback(position_, playEnd_)) return e;
    }
    takeNotify(h, flags, callbackOf(p), true, out);
    return 0;
}

MCIERROR MediaDevice::seek(OpenHandle& h, DWORD flags, MCI_SEEK_PARMS* p, Outbox& out) {
    const int targets = ((flags & MCI_SEEK_TO_START) != 0) + ((flags & MCI_SEEK_TO_END) != 0) + ((flags & MCI_TO) != 0);
    if (targets == 0) return MCIERR_MISSING_PARAMETER;
    if (targets > 1) return MCIERR_FLAGS_NOT_COMPATIBLE;
    if ((flags & MCI_TO) != 0 && p == nullptr) return MCIERR_NULL_PARAMETER_BLOCK;
    if (const MCIERROR e = checkReady()) return e;
    std::uint64_t target = mediaStart();
    if ((flags & MCI_SEEK_TO_END) != 0) target = mediaEnd();
    if ((flags & MCI_TO) != 0) {
        if (const MCIERROR e = toFrame(h.timeFormat, p->dwTo, target)) return e;
        if (target < mediaStart() || target > mediaEnd()) return MCIERR_OUTOFRANGE;
    }
    stopTransport(out);
    position_ = target;
    takeNotify(h, flags, callbackOf(p), true, out);
    return 0;
}

MCIERROR MediaDevice::status(OpenHandle& h, DWORD flags, MCI_STATUS_PARMS* p, Outbox& out) {
    if (p == nullptr) return MCIERR_NULL_PARAMETER_BLOCK;
    if ((flags & MCI_STATUS_ITEM) == 0) return MCIERR_MISSING_PARAMETER;
    const bool byTrack = (flags & MCI_TRACK) != 0;
    const bool atStart = (flags & MCI_STATUS_START) != 0;
    if (byTrack && atStart) return MCIERR_FLAGS_NOT_COMPATIBLE;
    if (byTrack && p->dwItem != MCI_STATUS_POSITION && p->dwItem != MCI_STATUS_LENGTH)
        return MCIERR_FLAGS_NOT_COMPATIBLE;
    if (atStart && p->dwItem != MCI_STATUS_POSITION) return MCIERR_FLAGS_NOT_COMPATIBLE;

    DWORD_PTR value = 0;
    const MCIERROR ready = checkReady();
    switch (p->dwItem) {
    case MCI_STATUS_MODE:
        if (ready != 0) {
            value = notReadyMode();
        } else {
            value = state_ == State::Playing ? MCI_MODE_PLAY : state_ == State::Paused ? MCI_MODE_PAUSE : MCI_MODE_STOP;
        }
        break;
    case MCI_STATUS_READY:
    case MCI_STATUS_MEDIA_PRESENT: value = ready == 0 ? 1 : 0; break;
    case MCI_STATUS_TIME_FORMAT: value = h.timeFormat; break;
    case MCI_STATUS_LENGTH: {
        if (ready != 0) return ready;
        std::uint64_t start = mediaStart();
        std::uint64_t end = mediaEnd();
        if (byTrack && !trackSpan(static_cast<int>(p->dwTrack), start, end)) return MCIERR_OUTOFRANGE;
        value = duration(h.timeFormat, end - start);
        break;
    }
    case MCI_STATUS_POSITION: {
        if (ready != 0) return ready;
        std::uint64_t frame = currentFrame();
        if (atStart) frame = mediaStart();
        if (byTrack) {
            std::uint64_t end = 0;
            if (!trackSpan(static_cast<int>(p->dwTrack), frame, end)) return MCIERR_OUTOFRANGE;
        }
        value = fromFrame(h.timeFormat, frame);
        break;
    }
    case MCI_STATUS_NUMBER_OF_TRACKS:
        if (ready != 0) return ready;
        value = static_cast<DWORD_PTR>(trackCount());
        break;
    case MCI_STATUS_CURRENT_TRACK:
        if (ready != 0) return ready;
        value = static_cast<DWORD_PTR>(trackAt(currentFrame()));
        break;
    default: return MCIERR_UNSUPPORTED_FUNCTION;
    }
    p->dwReturn = value;
    takeNotify(h, flags, p->dwCallback, true, out);
    return 0;
}

MCIERROR MediaDevice::set(OpenHandle& h, DWORD flags, MCI_SET_PARMS* p, Outbox& out) {
    if (p == nullptr) return MCIERR_NULL_PARAMETER_BLOCK;
    if ((flags & (MCI_SET_AUDIO | MCI_SET_VIDEO | MCI_SET_ON | MCI_SET_OFF)) != 0) return MCIERR_UNSUPPORTED_FUNCTION;
    const bool door = (flags & (MCI_SET_DOOR_OPEN | MCI_SET_DOOR_CLOSED)) != 0;
    if ((flags & MCI_SET_DOOR_OPEN) != 0 && (flags & MCI_SET_DOOR_CLOSED) != 0) return MCIERR_FLAGS_NOT_COMPATIBLE;
    if ((flags & MCI_SET_TIME_FORMAT) == 0 && !door) return MCIERR_MISSING_PARAMETER;
    if ((flags & MCI_SET_TIME_FORMAT) != 0 && !supportsTimeFormat(p->dwTimeFormat)) return MCIERR_BAD_TIME_FORMAT;
    if (door && !canEject()) return MCIERR_UNSUPPORTED_FUNCTION;

    if ((flags & MCI_SET_TIME_FORMAT) != 0) h.timeFormat = p->dwTimeFormat;
    if ((flags & MCI_SET_DOOR_OPEN) != 0) {
        stopTransport(out);
        if (const MCIERROR e = openDoor()) return e;
    }
    if ((flags & MCI_SET_DOOR_CLOSED) != 0) {
        if (const MCIERROR e = closeDoor()) return e;
    }
    takeNotify(h, flags, p->dwCallback, true, out);
    return 0;
}

MCIERROR MediaDevice::capabilities(OpenHandle& h, DWORD flags, MCI_GETDEVCAPS_PARMS* p, Outbox& out) {
    if (p == nullptr) return MCIERR_NULL_PARAMETER_BLOCK;
    if ((flags & MCI_GETDEVCAPS_ITEM) == 0) return MCIERR_MISSING_PARAMETER;
    DWORD value = 0;
    switch (p->dwItem) {
    case MCI_GETDEVCAPS_CAN_PLAY:
    case MCI_GETDEVCAPS_HAS_AUDIO: value = 1; break;
    case MCI_GETDEVCAPS_CAN_RECORD:
    case MCI_GETDEVCAPS_HAS_VIDEO:
    case MCI_GETDEVCAPS_CAN_SAVE: value = 0; break;
    case MCI_GETDEVCAPS_CAN_EJECT: value = canEject() ? 1 : 0; break;
    case MCI_GETDEVCAPS_USES_FILES:
    case MCI_GETDEVCAPS_COMPOUND_DEVICE: value = usesFiles() ? 1 : 0; break;
    case MCI_GETDEVCAPS_DEVICE_TYPE: value = deviceType(); break;
    default: return MCIERR_UNSUPPORTED_FUNCTION;
    }
    p->dwReturn = value;
    takeNotify(h, flags, p->dwCallback, true, out);
    return 0;
}

}  // namespace mcidev
