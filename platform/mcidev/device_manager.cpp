#include "platform/mcidev/device_manager.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <new>
#include <string_view>

#include "platform/mcidev/audio_output.h"
#include "platform/mcidev/cd/drive_disc.h"
#include "platform/mcidev/cd/image_disc.h"
#include "platform/mcidev/devices.h"
#include "platform/mcidev/media_device.h"
#include "platform/mcidev/midi/sound_font.h"
#include "sys/message_queue.h"

namespace mcidev {

using namespace mci;

namespace {

enum class Kind { Wave, Sequencer, Cd };

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

// The extension after the last dot of the last path component; empty when none.
std::string_view extensionOf(std::string_view path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos || dot == 0) return {};
    return name.substr(dot + 1);
}

MCIERROR kindFromTypeName(std::string_view name, Kind& kind) {
    if (equalsIgnoringCase(name, "waveaudio")) {
        kind = Kind::Wave;
    } else if (equalsIgnoringCase(name, "sequencer")) {
        kind = Kind::Sequencer;
    } else if (equalsIgnoringCase(name, "cdaudio")) {
        kind = Kind::Cd;
    } else {
        return MCIERR_INVALID_DEVICE_NAME;
    }
    return 0;
}

MCIERROR kindFromTypeId(DWORD type, Kind& kind) {
    switch (type & 0xFFFF) {
    case MCI_DEVTYPE_WAVEFORM_AUDIO: kind = Kind::Wave; return 0;
    case MCI_DEVTYPE_SEQUENCER: kind = Kind::Sequencer; return 0;
    case MCI_DEVTYPE_CD_AUDIO: kind = Kind::Cd; return 0;
    default: return MCIERR_INVALID_DEVICE_NAME;
    }
}

MCIERROR kindFromElement(std::string_view element, Kind& kind) {
    const std::string_view ext = extensionOf(element);
    if (equalsIgnoringCase(ext, "wav")) {
        kind = Kind::Wave;
    } else if (equalsIgnoringCase(ext, "mid") || equalsIgnoringCase(ext, "midi") || equalsIgnoringCase(ext, "rmi")) {
        kind = Kind::Sequencer;
    } else {
        return MCIERR_EXTENSION_NOT_FOUND;
    }
    return 0;
}

// The state behind the manager. Tasks that the audio threads and the commands post to
// the queue hold it weakly, so a task that runs after the manager is gone does nothing.
class Core : public std::enable_shared_from_this<Core> {
public:
    Core(sys::MessageQueue& queue, const DeviceOptions& options)
        : queue_(queue),
          options_(options),
          output_(options.output                                   ? options.output
                  : options.audioOutput == AudioOutputChoice::None ? std::shared_ptr<AudioOutput>(makeNoOutput())
                                                                   : std::shared_ptr<AudioOutput>(makeSdlOutput())),
          fonts_(options.fontCache ? options.fontCache : std::make_shared<midi::SoundFontCache>(options.soundFont)) {}

    ~Core() { shutdown(); }

    void shutdown() {
        // Devices stop their audio threads as they go; no notices any more.
        handles_.clear();
    }

    MCIERROR sendCommand(MCIDEVICEID id, UINT message, DWORD flags, void* params) {
        Outbox out;
        MCIERROR result = 0;
        try {
            result = dispatch(id, message, flags, params, out);
        } catch (const std::bad_alloc&) {
            result = MCIERR_OUT_OF_MEMORY;
        } catch (...) {
            result = MCIERR_INTERNAL;
        }
        post(out);
        return result;
    }

    // Why the disc image of the last failed open cannot be used.
    const std::string& imageError() const { return imageError_; }

private:
    struct Entry {
        OpenHandle handle;
        Kind kind = Kind::Wave;
        bool shareable = false;
        std::uint64_t deviceSerial = 0;
        std::shared_ptr<MediaDevice> device;
    };

    MCIERROR dispatch(MCIDEVICEID id, UINT message, DWORD flags, void* params, Outbox& out) {
        if (message == MCI_OPEN) return open(flags, static_cast<MCI_OPEN_PARMS*>(params), out);
        const auto it = handles_.find(id);
        if (it == handles_.end()) return MCIERR_INVALID_DEVICE_ID;
        if (message == MCI_CLOSE) return close(it, flags, params, out);
        Entry& entry = it->second;
        return entry.device->command(entry.handle, message, flags, params, out);
    }

    MCIERROR open(DWORD flags, MCI_OPEN_PARMS* p, Outbox& out) {
        if (p == nullptr) return MCIERR_NULL_PARAMETER_BLOCK;
        if ((flags & MCI_OPEN_ELEMENT_ID) != 0) return MCIERR_UNSUPPORTED_FUNCTION;
        const bool hasElement = (flags & MCI_OPEN_ELEMENT) != 0;
        if (hasElement && p->lpstrElementName == nullptr) return MCIERR_MISSING_PARAMETER;
        const std::string element = hasElement ? p->lpstrElementName : "";

        Kind kind = Kind::Wave;
        if ((flags & MCI_OPEN_TYPE) != 0) {
            if ((flags & MCI_OPEN_TYPE_ID) != 0) {
                if (const MCIERROR e =
                        kindFromTypeId(static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(p->lpstrDeviceType)), kind))
                    return e;
            } else {
                if (p->lpstrDeviceType == nullptr) return MCIERR_MISSING_DEVICE_NAME;
                if (const MCIERROR e = kindFromTypeName(p->lpstrDeviceType, kind)) return e;
            }
        } else if ((flags & MCI_OPEN_TYPE_ID) != 0) {
            return MCIERR_MISSING_PARAMETER;
        } else if (hasElement) {
            if (const MCIERROR e = kindFromElement(element, kind)) return e;
        } else {
            return MCIERR_MISSING_DEVICE_NAME;
        }
        const bool shareable = (flags & MCI_OPEN_SHAREABLE) != 0;

        const std::uint64_t serial = nextSerial_++;
        std::shared_ptr<MediaDevice> device;
        if (kind == Kind::Cd) {
            // One drive: a second opening shares the first one's device, and only when
            // both ask for it.
            for (const auto& [otherId, other] : handles_) {
                if (other.kind != Kind::Cd) continue;
                if (!shareable || !other.shareable) return MCIERR_MUST_USE_SHAREABLE;
                device = other.device;
            }
        }
        std::uint64_t deviceSerial = serial;
        if (device) {
            for (const auto& [otherId, other] : handles_)
                if (other.device == device) deviceSerial = other.deviceSerial;
        } else {
            // The sound font loads while the sequencer reads its file.
            if (kind == Kind::Sequencer) fonts_->preload();
            std::unique_ptr<MediaDevice> made;
            if (const MCIERROR e = makeDevice(kind, element, serial, made)) {
                if (kind == Kind::Sequencer) releaseFontWhenUnused();
                return e;
            }
            device = std::move(made);
        }

        MCIDEVICEID id = 1;
        while (handles_.count(id) != 0) ++id;
        Entry entry;
        entry.handle = OpenHandle{id, serial, device->defaultTimeFormat()};
        entry.kind = kind;
        entry.shareable = shareable;
        entry.deviceSerial = deviceSerial;
        entry.device = std::move(device);
        handles_.emplace(id, std::move(entry));
        p->wDeviceID = id;
        if ((flags & MCI_NOTIFY) != 0 && p->dwCallback != 0)
            out.push_back({NoticeTarget{static_cast<HWND>(p->dwCallback), id, serial}, MCI_NOTIFY_SUCCESSFUL});
        return 0;
    }

    MCIERROR makeDevice(Kind kind, const std::string& element, std::uint64_t serial,
                        std::unique_ptr<MediaDevice>& device) {
        auto finished = finishedHook(serial);
        switch (kind) {
        case Kind::Wave:
            if (element.empty()) return MCIERR_FILENAME_REQUIRED;
            return openWaveDevice(element, *output_, std::move(finished), device);
        case Kind::Sequencer:
            if (element.empty()) return MCIERR_FILENAME_REQUIRED;
            return openSequencerDevice(element, *fonts_, *output_, std::move(finished), device);
        case Kind::Cd: {
            std::shared_ptr<cd::Disc> disc;
            if (options_.discFactory) {
                disc = options_.discFactory();
            } else if (!options_.cdImage.empty()) {
                std::string error;
                disc = cd::ImageDisc::open(options_.cdImage, error);
                if (!disc) {
                    // Our error texts end without a full stop; the report adds one.
                    while (!error.empty() && (error.back() == '.' || error.back() == ' ')) error.pop_back();
                    imageError_ = std::move(error);
                    return MCIERR_DISC_IMAGE_UNUSABLE;
                }
            } else {
                disc = std::make_shared<cd::DriveDisc>();
            }
            return openCdDevice(std::move(disc), *output_, std::move(finished), device);
        }
        }
        return MCIERR_INTERNAL;
    }

    MCIERROR close(std::map<MCIDEVICEID, Entry>::iterator it, DWORD flags, void* params, Outbox& out) {
        if ((flags & MCI_NOTIFY) != 0 && params == nullptr) return MCIERR_NULL_PARAMETER_BLOCK;
        Entry& entry = it->second;
        const bool last = std::none_of(handles_.begin(), handles_.end(), [&](const auto& other) {
            return other.first != it->first && other.second.device == entry.device;
        });
        entry.device->settle(out);
        entry.device->release(entry.handle, last, out);
        const OpenHandle handle = entry.handle;
        const bool sequencer = entry.kind == Kind::Sequencer;
        handles_.erase(it);  // the last handle takes the device (and its audio thread) with it
        if (sequencer) releaseFontWhenUnused();
        const DWORD_PTR callback = callbackOf(params);
        if ((flags & MCI_NOTIFY) != 0 && callback != 0)
            out.push_back(
                {NoticeTarget{static_cast<HWND>(callback), handle.id, handle.opening}, MCI_NOTIFY_SUCCESSFUL});
        return 0;
    }

    // The sound font's memory is handed back once no sequencer is open. Not at once: a
    // new MIDI file is often opened right after the old one is closed, in the same turn
    // of the user-interface thread, and it keeps the font that is loaded.
    void releaseFontWhenUnused() {
        std::weak_ptr<Core> weak = weak_from_this();
        queue_.post([weak] {
            const auto core = weak.lock();
            if (!core) return;
            const bool inUse = std::any_of(core->handles_.begin(), core->handles_.end(),
                                           [](const auto& handle) { return handle.second.kind == Kind::Sequencer; });
            if (!inUse) core->fonts_->release();
        });
    }

    // What a device's audio thread calls when its play has run out: a task that takes
    // the end in on the user-interface thread.
    std::function<void()> finishedHook(std::uint64_t deviceSerial) {
        sys::MessageQueue* queue = &queue_;
        std::weak_ptr<Core> weak = weak_from_this();
        return [queue, weak, deviceSerial] {
            queue->post([weak, deviceSerial] {
                if (const auto core = weak.lock()) core->settleDevice(deviceSerial);
            });
        };
    }

    void settleDevice(std::uint64_t deviceSerial) {
        Outbox out;
        for (auto& [id, entry] : handles_) {
            if (entry.deviceSerial == deviceSerial) {
                entry.device->settle(out);
                break;
            }
        }
        post(out);
    }

    // Posts each notice as a task: it reaches the window unless the device id has been
    // given to another opening by then.
    void post(const Outbox& out) {
        for (const Notice& notice : out) {
            std::weak_ptr<Core> weak = weak_from_this();
            queue_.post([weak, notice] {
                const auto core = weak.lock();
                if (!core) return;
                const auto it = core->handles_.find(notice.target.id);
                if (it != core->handles_.end() && it->second.handle.opening != notice.target.opening) return;
                core->queue_.sendMessage(
                    static_cast<sys::WindowHandle>(notice.target.window),
                    sys::Message{MM_MCINOTIFY, notice.outcome, static_cast<std::intptr_t>(notice.target.id)});
            });
        }
    }

    sys::MessageQueue& queue_;
    DeviceOptions options_;
    std::shared_ptr<AudioOutput> output_;
    std::shared_ptr<midi::SoundFontCache> fonts_;
    std::string imageError_;
    std::map<MCIDEVICEID, Entry> handles_;
    std::uint64_t nextSerial_ = 1;
};

class DeviceManager final : public DeviceInterface {
public:
    DeviceManager(sys::MessageQueue& queue, const DeviceOptions& options)
        : core_(std::make_shared<Core>(queue, options)) {}

    ~DeviceManager() override { core_->shutdown(); }

    MCIERROR sendCommand(MCIDEVICEID device, UINT message, DWORD flags, void* params) override {
        // A notice handler run from inside may close devices; keep the core alive.
        const std::shared_ptr<Core> core = core_;
        return core->sendCommand(device, message, flags, params);
    }

    bool errorString(MCIERROR code, char* buffer, UINT size) override {
        const char* text = errorText(code);
        if (code == MCIERR_DISC_IMAGE_UNUSABLE && !core_->imageError().empty()) text = core_->imageError().c_str();
        if (buffer != nullptr && size > 0) {
            const std::size_t n = text == nullptr ? 0 : std::min<std::size_t>(std::strlen(text), size - 1);
            if (n > 0) std::memcpy(buffer, text, n);
            buffer[n] = '\0';
        }
        return text != nullptr;
    }

private:
    std::shared_ptr<Core> core_;
};

}  // namespace

std::unique_ptr<DeviceInterface> createDeviceManager(sys::MessageQueue& queue, const DeviceOptions& options) {
    return std::make_unique<DeviceManager>(queue, options);
}

}  // namespace mcidev
