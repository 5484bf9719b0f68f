#include "tests/fakes/scripted_device.h"

#include <algorithm>
#include <cstring>
#include <sstream>
#include <utility>

namespace fakes {

using namespace mci;

namespace {

struct Named {
    DWORD bit;
    const char* name;
};

const Named commonFlags[] = {
    {MCI_NOTIFY, "MCI_NOTIFY"}, {MCI_WAIT, "MCI_WAIT"}, {MCI_FROM, "MCI_FROM"},
    {MCI_TO, "MCI_TO"},         {MCI_TRACK, "MCI_TRACK"},
};

std::vector<Named> specificFlags(UINT message) {
    switch (message) {
    case MCI_OPEN:
        return {{MCI_OPEN_SHAREABLE, "MCI_OPEN_SHAREABLE"}, {MCI_OPEN_ELEMENT, "MCI_OPEN_ELEMENT"},
                {MCI_OPEN_ALIAS, "MCI_OPEN_ALIAS"},         {MCI_OPEN_ELEMENT_ID, "MCI_OPEN_ELEMENT_ID"},
                {MCI_OPEN_TYPE_ID, "MCI_OPEN_TYPE_ID"},     {MCI_OPEN_TYPE, "MCI_OPEN_TYPE"}};
    case MCI_SEEK:
        return {{MCI_SEEK_TO_START, "MCI_SEEK_TO_START"}, {MCI_SEEK_TO_END, "MCI_SEEK_TO_END"}};
    case MCI_STATUS:
        return {{MCI_STATUS_ITEM, "MCI_STATUS_ITEM"}, {MCI_STATUS_START, "MCI_STATUS_START"}};
    case MCI_GETDEVCAPS:
        return {{MCI_GETDEVCAPS_ITEM, "MCI_GETDEVCAPS_ITEM"}};
    case MCI_SET:
        return {{MCI_SET_DOOR_OPEN, "MCI_SET_DOOR_OPEN"}, {MCI_SET_DOOR_CLOSED, "MCI_SET_DOOR_CLOSED"},
                {MCI_SET_TIME_FORMAT, "MCI_SET_TIME_FORMAT"}, {MCI_SET_AUDIO, "MCI_SET_AUDIO"},
                {MCI_SET_VIDEO, "MCI_SET_VIDEO"}, {MCI_SET_ON, "MCI_SET_ON"}, {MCI_SET_OFF, "MCI_SET_OFF"}};
    case MCI_STEP:
        return {{MCI_DGV_STEP_REVERSE, "MCI_DGV_STEP_REVERSE"}, {MCI_DGV_STEP_FRAMES, "MCI_DGV_STEP_FRAMES"}};
    case MCI_WHERE:
        return {{MCI_DGV_WHERE_SOURCE, "MCI_DGV_WHERE_SOURCE"},
                {MCI_DGV_WHERE_DESTINATION, "MCI_DGV_WHERE_DESTINATION"}};
    case MCI_WINDOW:
        return {{MCI_DGV_WINDOW_HWND, "MCI_DGV_WINDOW_HWND"}};
    default:
        return {};
    }
}

std::optional<std::string> text(LPCSTR s) {
    if (!s) return std::nullopt;
    return std::string(s);
}

}  // namespace

bool MciRequest::isStatus(DWORD statusItem) const {
    return message == MCI_STATUS && item == statusItem && !has(MCI_TRACK);
}

std::string messageName(UINT message) {
    switch (message) {
    case MCI_OPEN: return "MCI_OPEN";
    case MCI_CLOSE: return "MCI_CLOSE";
    case MCI_PLAY: return "MCI_PLAY";
    case MCI_SEEK: return "MCI_SEEK";
    case MCI_STOP: return "MCI_STOP";
    case MCI_PAUSE: return "MCI_PAUSE";
    case MCI_GETDEVCAPS: return "MCI_GETDEVCAPS";
    case MCI_SET: return "MCI_SET";
    case MCI_STEP: return "MCI_STEP";
    case MCI_RECORD: return "MCI_RECORD";
    case MCI_STATUS: return "MCI_STATUS";
    case MCI_WINDOW: return "MCI_WINDOW";
    case MCI_WHERE: return "MCI_WHERE";
    case MCI_RESUME: return "MCI_RESUME";
    default: {
        std::ostringstream out;
        out << "message 0x" << std::hex << message;
        return out.str();
    }
    }
}

std::string flagNames(UINT message, DWORD flags) {
    std::string out;
    DWORD left = flags;
    auto add = [&](const Named& n) {
        if ((left & n.bit) != n.bit) return;
        left &= ~n.bit;
        if (!out.empty()) out += " | ";
        out += n.name;
    };
    for (const Named& n : commonFlags) add(n);
    for (const Named& n : specificFlags(message)) add(n);
    if (left != 0) {
        std::ostringstream hex;
        hex << (out.empty() ? "" : " | ") << "0x" << std::hex << left;
        out += hex.str();
    }
    return out.empty() ? "0" : out;
}

std::ostream& operator<<(std::ostream& out, const MciRequest& r) {
    out << messageName(r.message) << "(device " << r.device << ", " << flagNames(r.message, r.flags)
        << ", callback " << r.callback;
    if (r.deviceType) out << ", type \"" << *r.deviceType << '"';
    if (r.elementName) out << ", element \"" << *r.elementName << '"';
    if (r.from) out << ", from " << r.from;
    if (r.to) out << ", to " << r.to;
    if (r.item) out << ", item " << r.item;
    if (r.track) out << ", track " << r.track;
    if (r.timeFormat) out << ", time format " << r.timeFormat;
    if (r.frames) out << ", frames " << r.frames;
    return out << ") -> " << r.result;
}

// ---- Profiles --------------------------------------------------------------------------

DeviceProfile DeviceProfile::waveAudio(DWORD lengthMs) {
    DeviceProfile p;
    p.canRecord = true;
    p.deviceType = MCI_DEVTYPE_WAVEFORM_AUDIO;
    p.timeFormats = {MCI_FORMAT_MILLISECONDS, MCI_FORMAT_BYTES, MCI_FORMAT_SAMPLES};
    p.length = lengthMs;
    return p;
}

DeviceProfile DeviceProfile::sequencer(DWORD lengthMs) {
    DeviceProfile p;
    p.deviceType = MCI_DEVTYPE_SEQUENCER;
    p.timeFormats = {MCI_FORMAT_MILLISECONDS, MCI_FORMAT_SMPTE_24, MCI_FORMAT_SMPTE_25,
                     MCI_FORMAT_SMPTE_30, MCI_FORMAT_SMPTE_30DROP};
    p.length = lengthMs;
    return p;
}

DeviceProfile DeviceProfile::cdAudio(const std::vector<int>& trackSeconds) {
    DeviceProfile p;
    p.canEject = true;
    p.canResume = false;
    p.deviceType = MCI_DEVTYPE_CD_AUDIO;
    p.timeFormat = MCI_FORMAT_MSF;
    p.timeFormats = {MCI_FORMAT_MILLISECONDS, MCI_FORMAT_MSF, MCI_FORMAT_TMSF};
    int total = 0;
    for (std::size_t i = 0; i < trackSeconds.size(); ++i) {
        p.trackStarts.push_back(MCI_MAKE_TMSF(static_cast<DWORD>(i + 1), 0, 0, 0));
        total += trackSeconds[i];
    }
    p.length = MCI_MAKE_MSF(static_cast<DWORD>(total / 60), static_cast<DWORD>(total % 60), 0);
    p.position = p.trackStarts.empty() ? 0 : p.trackStarts.front();
    return p;
}

// ---- Device --------------------------------------------------------------------------------

ScriptedDevice::ScriptedDevice(ui::MessageQueue& queue) : ScriptedDevice() { queue_ = &queue; }

ScriptedDevice::ScriptedDevice() {
    profiles["WaveAudio"] = DeviceProfile::waveAudio();
    profiles["Sequencer"] = DeviceProfile::sequencer();
    profiles["CDAudio"] = DeviceProfile::cdAudio();
    errorTexts = {
        {MCIERR_INVALID_DEVICE_ID, "No device is open under this identifier"},
        {MCIERR_HARDWARE, "The media device reported a hardware problem"},
        {MCIERR_INVALID_DEVICE_NAME, "The device type is not known"},
        {MCIERR_UNSUPPORTED_FUNCTION, "The device cannot carry out this command"},
        {MCIERR_FILE_NOT_FOUND, "The file cannot be found"},
        {MCIERR_DEVICE_NOT_READY, "The device is not ready"},
        {MCIERR_BAD_TIME_FORMAT, "The device does not use this time format"},
        {MCIERR_INVALID_FILE, "The file is not one this device can play"},
        {MCIERR_OUTOFRANGE, "The value is out of range for this device"},
    };
}

void ScriptedDevice::failNext(UINT message, MCIERROR code, int times) { failures_[message] = {code, times}; }

void ScriptedDevice::failAlways(UINT message, MCIERROR code) { failures_[message] = {code, -1}; }

void ScriptedDevice::failStatus(DWORD item, MCIERROR code) { statusFailures_[item] = code; }

void ScriptedDevice::clearFailures() {
    failures_.clear();
    statusFailures_.clear();
}

std::vector<MciRequest> ScriptedDevice::requests(UINT message) const {
    std::vector<MciRequest> out;
    std::copy_if(requests_.begin(), requests_.end(), std::back_inserter(out),
                 [message](const MciRequest& r) { return r.message == message; });
    return out;
}

std::vector<MciRequest> ScriptedDevice::commands() const {
    std::vector<MciRequest> out;
    std::copy_if(requests_.begin(), requests_.end(), std::back_inserter(out), [](const MciRequest& r) {
        return r.message != MCI_STATUS && r.message != MCI_GETDEVCAPS;
    });
    return out;
}

std::vector<std::string> ScriptedDevice::messageNames() const {
    std::vector<std::string> out;
    for (const MciRequest& r : requests_) out.push_back(messageName(r.message));
    return out;
}

void ScriptedDevice::record(MciRequest request) { requests_.push_back(std::move(request)); }

MCIERROR ScriptedDevice::sendCommand(MCIDEVICEID device, UINT message, DWORD flags, void* params) {
    MciRequest r;
    r.device = device;
    r.message = message;
    r.flags = flags;
    if (params) {
        switch (message) {
        case MCI_OPEN: {
            const auto& p = *static_cast<MCI_OPEN_PARMS*>(params);
            r.callback = p.dwCallback;
            r.deviceType = text(p.lpstrDeviceType);
            r.elementName = text(p.lpstrElementName);
            r.alias = text(p.lpstrAlias);
            break;
        }
        case MCI_PLAY:
        case MCI_RECORD: {
            const auto& p = *static_cast<MCI_PLAY_PARMS*>(params);
            r.callback = p.dwCallback;
            r.from = p.dwFrom;
            r.to = p.dwTo;
            break;
        }
        case MCI_SEEK: {
            const auto& p = *static_cast<MCI_SEEK_PARMS*>(params);
            r.callback = p.dwCallback;
            r.to = p.dwTo;
            break;
        }
        case MCI_STATUS: {
            const auto& p = *static_cast<MCI_STATUS_PARMS*>(params);
            r.callback = p.dwCallback;
            r.item = p.dwItem;
            r.track = p.dwTrack;
            break;
        }
        case MCI_GETDEVCAPS: {
            const auto& p = *static_cast<MCI_GETDEVCAPS_PARMS*>(params);
            r.callback = p.dwCallback;
            r.item = p.dwItem;
            break;
        }
        case MCI_SET: {
            const auto& p = *static_cast<MCI_SET_PARMS*>(params);
            r.callback = p.dwCallback;
            r.timeFormat = p.dwTimeFormat;
            break;
        }
        case MCI_STEP: {
            const auto& p = *static_cast<MCI_DGV_STEP_PARMS*>(params);
            r.callback = p.dwCallback;
            r.frames = p.dwFrames;
            break;
        }
        case MCI_WINDOW: {
            const auto& p = *static_cast<MCI_DGV_WINDOW_PARMS*>(params);
            r.callback = p.dwCallback;
            r.window = p.hWnd;
            break;
        }
        default:
            r.callback = static_cast<MCI_GENERIC_PARMS*>(params)->dwCallback;
            break;
        }
    }
    MCIERROR result = params ? injectedFailure(message, flags, params) : MCIERR_NULL_PARAMETER_BLOCK;
    if (result == 0) result = handle(device, message, flags, params);
    r.result = result;
    record(std::move(r));
    return result;
}

MCIERROR ScriptedDevice::injectedFailure(UINT message, DWORD, void* params) {
    if (message == MCI_STATUS) {
        const auto found = statusFailures_.find(static_cast<MCI_STATUS_PARMS*>(params)->dwItem);
        if (found != statusFailures_.end()) return found->second;
    }
    const auto found = failures_.find(message);
    if (found == failures_.end()) return 0;
    const MCIERROR code = found->second.code;
    if (found->second.times > 0 && --found->second.times == 0) failures_.erase(found);
    return code;
}

MCIERROR ScriptedDevice::handle(MCIDEVICEID device, UINT message, DWORD flags, void* params) {
    if (message == MCI_OPEN) {
        auto& p = *static_cast<MCI_OPEN_PARMS*>(params);
        std::string type;
        if ((flags & MCI_OPEN_TYPE) && p.lpstrDeviceType) type = p.lpstrDeviceType;
        const auto profile = profiles.find(type);
        state = profile != profiles.end() ? profile->second : fallback;
        mode = state.mode;
        pending_ = {};
        typeName_ = type;
        element_ = (flags & MCI_OPEN_ELEMENT) && p.lpstrElementName ? p.lpstrElementName : "";
        shareable_ = (flags & MCI_OPEN_SHAREABLE) != 0;
        openId_ = nextDeviceId++;
        p.wDeviceID = openId_;
        noticeNow(flags, p.dwCallback);
        return 0;
    }
    if (openId_ == 0 || device != openId_) return MCIERR_INVALID_DEVICE_ID;

    const DWORD_PTR callback = static_cast<MCI_GENERIC_PARMS*>(params)->dwCallback;
    switch (message) {
    case MCI_CLOSE:
        endPending(MCI_NOTIFY_ABORTED);
        noticeNow(flags, callback);
        openId_ = 0;
        return 0;
    case MCI_STATUS:
        return status(flags, *static_cast<MCI_STATUS_PARMS*>(params));
    case MCI_GETDEVCAPS: {
        auto& p = *static_cast<MCI_GETDEVCAPS_PARMS*>(params);
        switch (p.dwItem) {
        case MCI_GETDEVCAPS_CAN_PLAY: p.dwReturn = state.canPlay; break;
        case MCI_GETDEVCAPS_CAN_RECORD: p.dwReturn = state.canRecord; break;
        case MCI_GETDEVCAPS_CAN_EJECT: p.dwReturn = state.canEject; break;
        case MCI_GETDEVCAPS_HAS_VIDEO: p.dwReturn = state.hasVideo; break;
        case MCI_GETDEVCAPS_HAS_AUDIO: p.dwReturn = 1; break;
        case MCI_GETDEVCAPS_DEVICE_TYPE: p.dwReturn = state.deviceType; break;
        case MCI_GETDEVCAPS_USES_FILES: p.dwReturn = state.deviceType != MCI_DEVTYPE_CD_AUDIO; break;
        case MCI_GETDEVCAPS_COMPOUND_DEVICE: p.dwReturn = state.deviceType != MCI_DEVTYPE_CD_AUDIO; break;
        case MCI_GETDEVCAPS_CAN_SAVE: p.dwReturn = 0; break;
        default: return MCIERR_UNRECOGNIZED_KEYWORD;
        }
        return 0;
    }
    case MCI_PLAY:
    case MCI_RECORD: {
        if (message == MCI_PLAY ? !state.canPlay : !state.canRecord) return MCIERR_UNSUPPORTED_FUNCTION;
        const auto& p = *static_cast<MCI_PLAY_PARMS*>(params);
        startPending(callback, (flags & MCI_NOTIFY) != 0);
        if (simulate) {
            if (flags & MCI_FROM) state.position = p.dwFrom;
            mode = message == MCI_PLAY ? MCI_MODE_PLAY : MCI_MODE_RECORD;
        }
        return 0;
    }
    case MCI_STOP:
        endPending(MCI_NOTIFY_ABORTED);
        if (simulate) mode = MCI_MODE_STOP;
        noticeNow(flags, callback);
        return 0;
    case MCI_PAUSE:
        if (simulate && (mode == MCI_MODE_PLAY || mode == MCI_MODE_RECORD)) mode = MCI_MODE_PAUSE;
        noticeNow(flags, callback);
        return 0;
    case MCI_RESUME:
        if (!state.canResume) return MCIERR_UNSUPPORTED_FUNCTION;
        startPending(callback, (flags & MCI_NOTIFY) != 0);
        if (simulate && mode == MCI_MODE_PAUSE) mode = MCI_MODE_PLAY;
        return 0;
    case MCI_SEEK: {
        const auto& p = *static_cast<MCI_SEEK_PARMS*>(params);
        endPending(MCI_NOTIFY_ABORTED);
        if (simulate) {
            if (flags & MCI_SEEK_TO_START) {
                state.position = state.trackStarts.empty() ? 0 : state.trackStarts.front();
            } else if (flags & MCI_SEEK_TO_END) {
                state.position = state.length;
            } else if (flags & MCI_TO) {
                state.position = p.dwTo;
            }
            mode = MCI_MODE_STOP;
        }
        noticeNow(flags, callback);
        return 0;
    }
    case MCI_SET: {
        const auto& p = *static_cast<MCI_SET_PARMS*>(params);
        if (flags & MCI_SET_TIME_FORMAT) {
            if (!state.timeFormats.empty() && !state.timeFormats.contains(p.dwTimeFormat)) {
                return MCIERR_BAD_TIME_FORMAT;
            }
            state.timeFormat = p.dwTimeFormat;
        }
        if (flags & MCI_SET_DOOR_OPEN) {
            if (!state.canEject) return MCIERR_UNSUPPORTED_FUNCTION;
            endPending(MCI_NOTIFY_ABORTED);
            if (simulate) mode = MCI_MODE_OPEN;
        }
        noticeNow(flags, callback);
        return 0;
    }
    case MCI_STEP: {
        if (!state.hasVideo) return MCIERR_UNSUPPORTED_FUNCTION;
        const auto& p = *static_cast<MCI_DGV_STEP_PARMS*>(params);
        if (simulate) {
            if (flags & MCI_DGV_STEP_REVERSE) {
                state.position = state.position > p.dwFrames ? state.position - p.dwFrames : 0;
            } else {
                state.position = std::min(state.length, state.position + p.dwFrames);
            }
        }
        noticeNow(flags, callback);
        return 0;
    }
    case MCI_WHERE: {
        if (!state.hasVideo) return MCIERR_UNSUPPORTED_FUNCTION;
        static_cast<MCI_DGV_RECT_PARMS*>(params)->rc = state.sourceRect;
        return 0;
    }
    case MCI_WINDOW:
        if (!state.hasVideo) return MCIERR_UNSUPPORTED_FUNCTION;
        return 0;
    default:
        return MCIERR_UNRECOGNIZED_COMMAND;
    }
}

MCIERROR ScriptedDevice::status(DWORD flags, MCI_STATUS_PARMS& p) {
    if (!(flags & MCI_STATUS_ITEM)) return MCIERR_MISSING_PARAMETER;
    if (flags & MCI_TRACK) {
        if (p.dwTrack < 1 || p.dwTrack > state.trackStarts.size()) return MCIERR_OUTOFRANGE;
        if (p.dwItem != MCI_STATUS_POSITION) return MCIERR_UNSUPPORTED_FUNCTION;
        p.dwReturn = state.trackStarts[p.dwTrack - 1];
        return 0;
    }
    switch (p.dwItem) {
    case MCI_STATUS_LENGTH: p.dwReturn = state.length; return 0;
    case MCI_STATUS_POSITION: p.dwReturn = state.position; return 0;
    case MCI_STATUS_NUMBER_OF_TRACKS:
        p.dwReturn = state.trackStarts.empty() ? 1 : state.trackStarts.size();
        return 0;
    case MCI_STATUS_MODE: p.dwReturn = mode; return 0;
    case MCI_STATUS_TIME_FORMAT: p.dwReturn = state.timeFormat; return 0;
    case MCI_STATUS_MEDIA_PRESENT:
    case MCI_STATUS_READY: p.dwReturn = 1; return 0;
    case MCI_STATUS_CURRENT_TRACK: p.dwReturn = std::max<DWORD>(1, MCI_TMSF_TRACK(state.position)); return 0;
    default: return MCIERR_UNRECOGNIZED_KEYWORD;
    }
}

// ---- Notices ------------------------------------------------------------------------------

void ScriptedDevice::startPending(DWORD_PTR window, bool withNotify) {
    // A new play takes over: the old notice is superseded by one that asks for a
    // notice of its own, and aborted by one that does not.
    endPending(withNotify ? MCI_NOTIFY_SUPERSEDED : MCI_NOTIFY_ABORTED);
    if (withNotify && window != 0) pending_ = {window, MCI_NOTIFY_SUCCESSFUL, openId_};
}

void ScriptedDevice::endPending(UINT outcome) {
    if (pending_.window == 0) return;
    const DWORD_PTR window = pending_.window;
    pending_ = {};
    postNotice(window, outcome);
}

void ScriptedDevice::noticeNow(DWORD flags, DWORD_PTR window) {
    if ((flags & MCI_NOTIFY) && window != 0) postNotice(window, MCI_NOTIFY_SUCCESSFUL);
}

void ScriptedDevice::finishPlaying() {
    mode = MCI_MODE_STOP;
    state.position = state.length;
    endPending(MCI_NOTIFY_SUCCESSFUL);
}

void ScriptedDevice::postNotice(DWORD_PTR window, UINT outcome) {
    const MciNotice notice{window, outcome, openId_};
    notices_.push_back(notice);
    if (onNotice) onNotice(notice);
    if (queue_) {
        queue_->postMessage(static_cast<ui::WindowHandle>(window),
                            ui::Message{MM_MCINOTIFY, outcome, static_cast<std::intptr_t>(notice.device)});
    }
}

bool ScriptedDevice::errorString(MCIERROR code, char* buffer, UINT size) {
    const auto found = errorTexts.find(code);
    if (found == errorTexts.end()) {
        if (buffer && size > 0) buffer[0] = '\0';
        return false;
    }
    if (buffer && size > 0) {
        const std::size_t n = std::min<std::size_t>(found->second.size(), size - 1);
        std::memcpy(buffer, found->second.data(), n);
        buffer[n] = '\0';
    }
    return true;
}

}  // namespace fakes
