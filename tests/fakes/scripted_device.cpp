#include "tests/fakes/scripted_device.h"

#include <numeric>
#include <utility>

namespace fakes {

using namespace mci;

std::string messageName(UINT message) {
    static const std::map<UINT, const char*> names = {
        {MCI_OPEN, "MCI_OPEN"},     {MCI_CLOSE, "MCI_CLOSE"},   {MCI_PLAY, "MCI_PLAY"},
        {MCI_SEEK, "MCI_SEEK"},     {MCI_STOP, "MCI_STOP"},     {MCI_PAUSE, "MCI_PAUSE"},
        {MCI_SET, "MCI_SET"},       {MCI_STEP, "MCI_STEP"},     {MCI_RECORD, "MCI_RECORD"},
        {MCI_RESUME, "MCI_RESUME"}, {MCI_STATUS, "MCI_STATUS"}, {MCI_GETDEVCAPS, "MCI_GETDEVCAPS"}};
    const auto found = names.find(message);
    return found != names.end() ? found->second : "message " + std::to_string(message);
}

DeviceProfile DeviceProfile::waveAudio(DWORD lengthMs) {
    DeviceProfile p;
    p.timeFormats = {MCI_FORMAT_MILLISECONDS, MCI_FORMAT_BYTES, MCI_FORMAT_SAMPLES};
    p.length = lengthMs;
    return p;
}

DeviceProfile DeviceProfile::sequencer(DWORD lengthMs) {
    DeviceProfile p;
    p.deviceType = MCI_DEVTYPE_SEQUENCER;
    p.length = lengthMs;
    return p;
}

DeviceProfile DeviceProfile::cdAudio(const std::vector<int>& trackSeconds) {
    DeviceProfile p;
    p.canEject = true;
    p.deviceType = MCI_DEVTYPE_CD_AUDIO;
    p.timeFormat = MCI_FORMAT_MSF;
    p.timeFormats = {MCI_FORMAT_MILLISECONDS, MCI_FORMAT_MSF, MCI_FORMAT_TMSF};
    p.trackStarts.clear();
    for (DWORD track = 1; track <= trackSeconds.size(); ++track) p.trackStarts.push_back(MCI_MAKE_TMSF(track, 0, 0, 0));
    const auto total = static_cast<DWORD>(std::accumulate(trackSeconds.begin(), trackSeconds.end(), 0));
    const auto last = static_cast<DWORD>(trackSeconds.back());
    p.length = MCI_MAKE_MSF(total / 60, total % 60, 0);
    p.end = MCI_MAKE_TMSF(static_cast<DWORD>(trackSeconds.size()), last / 60, last % 60, 0);
    p.position = p.trackStarts.front();
    return p;
}

std::vector<MciRequest> ScriptedDevice::requests(UINT message) const {
    std::vector<MciRequest> out;
    for (const MciRequest& r : requests_)
        if (r.message == message) out.push_back(r);
    return out;
}

MCIERROR ScriptedDevice::sendCommand(MCIDEVICEID device, UINT message, DWORD flags, void* params) {
    MciRequest r;
    r.message = message;
    r.flags = flags;
    r.callback = static_cast<MCI_GENERIC_PARMS*>(params)->dwCallback;  // every record starts with it
    if (message == MCI_OPEN) {
        const auto& p = *static_cast<MCI_OPEN_PARMS*>(params);
        // The records are byte-packed: their pointers are read by value, never bound.
        if (const char* type = p.lpstrDeviceType) r.deviceType = type;
        if (const char* element = p.lpstrElementName) r.elementName = element;
    } else if (message == MCI_PLAY) {
        // A record's fields are read only where its flags name them: callers may pass a
        // shorter record otherwise.
        if (flags & MCI_FROM) r.from = static_cast<MCI_PLAY_PARMS*>(params)->dwFrom;
        if (flags & MCI_TO) r.to = static_cast<MCI_PLAY_PARMS*>(params)->dwTo;
    } else if (message == MCI_SEEK && (flags & MCI_TO)) {
        r.to = static_cast<MCI_SEEK_PARMS*>(params)->dwTo;
    } else if (message == MCI_SET && (flags & MCI_SET_TIME_FORMAT)) {
        r.timeFormat = static_cast<MCI_SET_PARMS*>(params)->dwTimeFormat;
    }
    requests_.push_back(std::move(r));
    if (const auto failure = failures_.extract(message)) return failure.mapped();
    if (message == MCI_OPEN) return open(flags, *static_cast<MCI_OPEN_PARMS*>(params));
    return openId_ == 0 || device != openId_ ? MCIERR_INVALID_DEVICE_ID : handle(message, flags, params);
}

MCIERROR ScriptedDevice::open(DWORD flags, MCI_OPEN_PARMS& p) {
    const std::string element = (flags & MCI_OPEN_ELEMENT) && p.lpstrElementName ? p.lpstrElementName : "";
    const std::string type = (flags & MCI_OPEN_TYPE) && p.lpstrDeviceType ? p.lpstrDeviceType : "";
    if (type.empty()) return MCIERR_MISSING_DEVICE_NAME;
    const auto profile = profiles.find(type);
    if (profile == profiles.end()) return MCIERR_INVALID_DEVICE_NAME;
    if (element.empty() && profile->second.deviceType != MCI_DEVTYPE_CD_AUDIO) return MCIERR_FILENAME_REQUIRED;
    state = profile->second;
    mode = state.mode;
    pending_ = 0;
    typeName_ = type;
    element_ = element;
    shareable_ = (flags & MCI_OPEN_SHAREABLE) != 0;
    openId_ = nextId_++;
    p.wDeviceID = openId_;
    takeNotify(flags, p.dwCallback, true);
    return 0;
}

MCIERROR ScriptedDevice::handle(UINT message, DWORD flags, void* params) {
    const DWORD_PTR callback = static_cast<MCI_GENERIC_PARMS*>(params)->dwCallback;
    // With the door open there is no disc to play, seek or ask about.
    if (mode == MCI_MODE_OPEN &&
        (message == MCI_PLAY || message == MCI_SEEK || message == MCI_PAUSE || message == MCI_RESUME)) {
        return MCIERR_DEVICE_NOT_READY;
    }
    switch (message) {
    case MCI_CLOSE:
        endPending(MCI_NOTIFY_ABORTED);
        takeNotify(flags, callback, true);
        openId_ = 0;
        return 0;
    case MCI_STATUS: return status(flags, *static_cast<MCI_STATUS_PARMS*>(params));
    case MCI_GETDEVCAPS: {
        auto& p = *static_cast<MCI_GETDEVCAPS_PARMS*>(params);
        switch (p.dwItem) {
        case MCI_GETDEVCAPS_CAN_PLAY: p.dwReturn = true; break;
        case MCI_GETDEVCAPS_CAN_RECORD:
        case MCI_GETDEVCAPS_HAS_VIDEO: p.dwReturn = false; break;
        case MCI_GETDEVCAPS_CAN_EJECT: p.dwReturn = state.canEject; break;
        case MCI_GETDEVCAPS_DEVICE_TYPE: p.dwReturn = state.deviceType; break;
        default: return MCIERR_UNSUPPORTED_FUNCTION;
        }
        return 0;
    }
    case MCI_RECORD: return MCIERR_UNSUPPORTED_FUNCTION;
    case MCI_PLAY: {
        const auto& p = *static_cast<MCI_PLAY_PARMS*>(params);
        const DWORD from = flags & MCI_FROM ? p.dwFrom : state.position;
        const bool nothingToPlay = from == (flags & MCI_TO ? p.dwTo : endPosition());
        // A play cut short by this one is aborted, whether or not this one asks for a notice.
        const bool cutsShort = mode == MCI_MODE_PLAY || mode == MCI_MODE_PAUSE;
        if (!(flags & MCI_NOTIFY) || callback == 0 || cutsShort) endPending(MCI_NOTIFY_ABORTED);
        takeNotify(flags, callback, nothingToPlay);  // an empty stretch is done at once
        if (simulate) {
            state.position = from;
            if (!nothingToPlay) mode = MCI_MODE_PLAY;
        }
        return 0;
    }
    case MCI_STOP:
        endPending(MCI_NOTIFY_ABORTED);
        if (simulate) mode = MCI_MODE_STOP;
        break;
    case MCI_SEEK:
        endPending(MCI_NOTIFY_ABORTED);
        if (simulate) {
            mode = MCI_MODE_STOP;
            if (flags & MCI_SEEK_TO_START) state.position = state.trackStarts.front();
            if (flags & MCI_SEEK_TO_END) state.position = endPosition();
            if (flags & MCI_TO) state.position = static_cast<MCI_SEEK_PARMS*>(params)->dwTo;
        }
        break;
    case MCI_PAUSE:
        if (simulate && mode == MCI_MODE_PLAY) mode = MCI_MODE_PAUSE;
        break;
    case MCI_RESUME:
        if (mode == MCI_MODE_STOP) return MCIERR_NONAPPLICABLE_FUNCTION;
        if (simulate && mode == MCI_MODE_PAUSE) mode = MCI_MODE_PLAY;
        break;
    case MCI_SET: {
        if (flags & MCI_SET_TIME_FORMAT) {
            const DWORD format = static_cast<MCI_SET_PARMS*>(params)->dwTimeFormat;
            if (!state.timeFormats.contains(format)) return MCIERR_BAD_TIME_FORMAT;
            state.timeFormat = format;
        }
        if (flags & MCI_SET_DOOR_OPEN) {
            if (!state.canEject) return MCIERR_UNSUPPORTED_FUNCTION;
            endPending(MCI_NOTIFY_ABORTED);
            if (simulate) mode = MCI_MODE_OPEN;
        }
        break;
    }
    default: return MCIERR_UNRECOGNIZED_COMMAND;  // picture requests among them
    }
    takeNotify(flags, callback, true);
    return 0;
}

MCIERROR ScriptedDevice::status(DWORD flags, MCI_STATUS_PARMS& p) {
    if (mode == MCI_MODE_OPEN && p.dwItem != MCI_STATUS_MODE && p.dwItem != MCI_STATUS_TIME_FORMAT)
        return MCIERR_DEVICE_NOT_READY;
    if (flags & MCI_TRACK) {
        if (p.dwTrack < 1 || p.dwTrack > state.trackStarts.size()) return MCIERR_OUTOFRANGE;
        if (p.dwItem != MCI_STATUS_POSITION) return MCIERR_UNSUPPORTED_FUNCTION;
        p.dwReturn = state.trackStarts[p.dwTrack - 1];
        return 0;
    }
    switch (p.dwItem) {
    case MCI_STATUS_LENGTH: p.dwReturn = state.length; return 0;
    case MCI_STATUS_POSITION: p.dwReturn = state.position; return 0;
    case MCI_STATUS_NUMBER_OF_TRACKS: p.dwReturn = state.trackStarts.size(); return 0;
    case MCI_STATUS_MODE: p.dwReturn = mode; return 0;
    case MCI_STATUS_TIME_FORMAT: p.dwReturn = state.timeFormat; return 0;
    default: return MCIERR_UNSUPPORTED_FUNCTION;
    }
}

void ScriptedDevice::takeNotify(DWORD flags, DWORD_PTR window, bool now) {
    if (!(flags & MCI_NOTIFY) || window == 0) return;
    endPending(MCI_NOTIFY_SUPERSEDED);
    if (now) {
        postNotice(window, MCI_NOTIFY_SUCCESSFUL);
    } else {
        pending_ = window;
    }
}

void ScriptedDevice::endPending(UINT outcome) {
    if (pending_ != 0) postNotice(std::exchange(pending_, 0), outcome);
}

void ScriptedDevice::finishPlaying() {
    mode = MCI_MODE_STOP;
    state.position = endPosition();
    endPending(MCI_NOTIFY_SUCCESSFUL);
}

void ScriptedDevice::postNotice(DWORD_PTR window, UINT outcome) {
    if (queue_) {
        queue_->postMessage(static_cast<sys::WindowHandle>(window),
                            sys::Message{MM_MCINOTIFY, outcome, static_cast<std::intptr_t>(openId_)});
    }
}

bool ScriptedDevice::errorString(MCIERROR code, char* buffer, UINT size) {
    const auto found = errorTexts.find(code);
    const std::string text = found == errorTexts.end() ? "" : found->second;
    buffer[text.copy(buffer, size - 1)] = '\0';
    return found != errorTexts.end();
}

}  // namespace fakes
