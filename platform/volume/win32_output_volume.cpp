// The default render endpoint's master volume and mute. The calls are local and quick,
// so each one opens the endpoint afresh and lets it go: nothing is held between alarms,
// and the endpoint that was turned up is found again by its id to give it back.
#include <windows.h>

#include <endpointvolume.h>
#include <mmdeviceapi.h>

#include <cmath>
#include <cstdio>
#include <optional>

#include "platform/volume/output_volume.h"

namespace volume {
namespace {

constexpr float kFloor = kAudibleFloorPercent / 100.0f;

// Holds one reference to a COM object and releases it.
template <class T>
class Ref {
public:
    Ref() = default;
    ~Ref() {
        if (p_ != nullptr) p_->Release();
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    T* operator->() const { return p_; }
    T** put() { return &p_; }
    void** putVoid() { return reinterpret_cast<void**>(&p_); }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

// COM on the calling thread for the length of one call. A thread that has it already,
// in either model, keeps it as it is.
class ComScope {
public:
    ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    bool usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

private:
    HRESULT result_;
};

std::string code(HRESULT hr) {
    char text[24];
    std::snprintf(text, sizeof text, " (error 0x%08lX)", static_cast<unsigned long>(hr));
    return text;
}

struct EndpointState {
    bool mute = false;
    float level = 0;
};

// One endpoint's volume control: the default output's (id null), or the one with that id.
class Endpoint {
public:
    explicit Endpoint(const std::wstring* id) {
        if (!com_.usable()) {
            failure_ = "the system's audio devices could not be reached";
            return;
        }
        Ref<IMMDeviceEnumerator> devices;
        HRESULT hr = CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                                      devices.putVoid());
        if (FAILED(hr)) {
            failure_ = "the system's audio devices could not be reached" + code(hr);
            return;
        }
        Ref<IMMDevice> device;
        hr = id != nullptr ? devices->GetDevice(id->c_str(), device.put())
                           : devices->GetDefaultAudioEndpoint(eRender, eConsole, device.put());
        if (FAILED(hr)) {
            failure_ = hr == HRESULT_FROM_WIN32(ERROR_NOT_FOUND) ? "there is no sound output"
                                                                 : "the sound output could not be opened" + code(hr);
            return;
        }
        LPWSTR name = nullptr;
        if (SUCCEEDED(device->GetId(&name))) {
            id_ = name;
            CoTaskMemFree(name);
        }
        hr = device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr, volume_.putVoid());
        if (FAILED(hr)) failure_ = "the sound output has no volume control" + code(hr);
    }

    const std::string& failure() const { return failure_; }
    const std::wstring& id() const { return id_; }

    std::optional<EndpointState> state(std::string& error) {
        BOOL mute = FALSE;
        EndpointState s;
        HRESULT hr = volume_->GetMute(&mute);
        if (SUCCEEDED(hr)) hr = volume_->GetMasterVolumeLevelScalar(&s.level);
        if (FAILED(hr)) {
            error = "the sound output's volume could not be read" + code(hr);
            return std::nullopt;
        }
        s.mute = mute != FALSE;
        return s;
    }

    HRESULT setLevel(float level) { return volume_->SetMasterVolumeLevelScalar(level, nullptr); }
    HRESULT setMute(bool mute) { return volume_->SetMute(mute ? TRUE : FALSE, nullptr); }

private:
    ComScope com_;
    Ref<IAudioEndpointVolume> volume_;
    std::wstring id_;
    std::string failure_;
};

bool same(const EndpointState& a, const EndpointState& b) {
    return a.mute == b.mute && std::fabs(a.level - b.level) < 0.001f;
}

class Win32OutputVolume final : public sys::OutputVolume {
public:
    // An alarm cut short by the program's end still gives the output back.
    ~Win32OutputVolume() override { restore(); }

    Change makeAudible() override {
        Change change;
        Endpoint endpoint(nullptr);
        if (!endpoint.failure().empty()) return {{}, endpoint.failure()};
        const std::optional<EndpointState> before = endpoint.state(change.problem);
        if (!before) return change;
        const bool lift = before->level < kFloor;
        if (!before->mute && !lift) return change;  // audible as it is

        Memory memory{endpoint.id(), *before, *before, false, false};
        if (lift) {
            if (const HRESULT hr = endpoint.setLevel(kFloor); FAILED(hr)) return {{}, refused(hr)};
            memory.levelChanged = true;
        }
        // Unmuted after the volume is up, so that the low volume is never heard.
        if (before->mute) {
            if (const HRESULT hr = endpoint.setMute(false); SUCCEEDED(hr))
                memory.muteChanged = true;
            else
                change.problem = refused(hr);
        }
        // What the endpoint holds now is what restore() will look for.
        std::string ignored;
        if (const auto now = endpoint.state(ignored)) memory.set = *now;
        if (memory.levelChanged || memory.muteChanged) memory_ = memory;
        if (change.problem.empty())
            change.raisedFrom =
                describeRaise(before->mute, lift ? static_cast<int>(std::lround(before->level * 100.0f)) : -1);
        return change;
    }

    void restore() override {
        if (!memory_) return;
        const Memory memory = *memory_;
        memory_.reset();
        Endpoint endpoint(memory.id.empty() ? nullptr : &memory.id);
        if (!endpoint.failure().empty()) return;
        std::string ignored;
        const std::optional<EndpointState> now = endpoint.state(ignored);
        // Changed since by the user: theirs now, left as it is.
        if (!now || !same(*now, memory.set)) return;
        // Muted before the volume goes down, so that no step of it is heard.
        if (memory.muteChanged) endpoint.setMute(memory.before.mute);
        if (memory.levelChanged) endpoint.setLevel(memory.before.level);
    }

private:
    struct Memory {
        std::wstring id;
        EndpointState before;
        EndpointState set;
        bool levelChanged = false;
        bool muteChanged = false;
    };

    static std::string refused(HRESULT hr) { return "the system did not allow the output to be changed" + code(hr); }

    // What the last makeAudible() that changed anything changed. A later call that finds
    // the output audible (our own doing) keeps it, so restore() still gives it back.
    std::optional<Memory> memory_;
};

}  // namespace

std::unique_ptr<sys::OutputVolume> createOutputVolume() { return std::make_unique<Win32OutputVolume>(); }

}  // namespace volume
