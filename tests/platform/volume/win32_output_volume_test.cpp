// The output volume on the default render endpoint, set up and read back through a
// volume control of the test's own. Where there is no endpoint (Wine without a sound
// server behind it) the alarm must be told so.
#include <windows.h>

#include <endpointvolume.h>
#include <gtest/gtest.h>
#include <mmdeviceapi.h>

#include <cstdio>

#include "platform/volume/output_volume.h"

namespace {

struct Level {
    bool mute;
    float level;
};

IAudioEndpointVolume* openDefault() {
    IMMDeviceEnumerator* devices = nullptr;
    IMMDevice* device = nullptr;
    IAudioEndpointVolume* control = nullptr;
    if (SUCCEEDED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                                   reinterpret_cast<void**>(&devices))) &&
        SUCCEEDED(devices->GetDefaultAudioEndpoint(eRender, eConsole, &device)))
        device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr, reinterpret_cast<void**>(&control));
    if (device != nullptr) device->Release();
    if (devices != nullptr) devices->Release();
    return control;
}

Level read(IAudioEndpointVolume* control) {
    BOOL mute = FALSE;
    Level l{false, -1};
    control->GetMute(&mute);
    control->GetMasterVolumeLevelScalar(&l.level);
    l.mute = mute != FALSE;
    return l;
}

bool set(IAudioEndpointVolume* control, Level l) {
    return SUCCEEDED(control->SetMasterVolumeLevelScalar(l.level, nullptr)) &&
           SUCCEEDED(control->SetMute(l.mute ? TRUE : FALSE, nullptr));
}

// Why the endpoint's volume cannot be set up from outside and seen by another control
// (empty when it can).
std::string unusable(IAudioEndpointVolume* control, Level original) {
    if (HRESULT hr = control->SetMasterVolumeLevelScalar(original.level, nullptr); FAILED(hr)) {
        char text[80];
        std::snprintf(text, sizeof text, "the endpoint's level cannot be set here (0x%08lX)",
                      static_cast<unsigned long>(hr));
        return text;
    }
    IAudioEndpointVolume* other = openDefault();
    if (other == nullptr) return "a second volume control cannot be opened";
    control->SetMute(original.mute ? FALSE : TRUE, nullptr);
    const bool shared = read(other).mute != original.mute;
    other->Release();
    control->SetMute(original.mute ? TRUE : FALSE, nullptr);
    return shared ? "" : "this system keeps the endpoint's mute per control, not per device";
}

TEST(Win32OutputVolume, TurnsUpThenGivesBackOrSaysWhyNot) {
    const bool comStarted = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    IAudioEndpointVolume* control = openDefault();
    auto output = volume::createOutputVolume();
    if (control == nullptr) {
        const auto change = output->makeAudible();
        EXPECT_EQ(change.raisedFrom, "");
        EXPECT_EQ(change.problem, "there is no sound output");
        output->restore();
    } else {
        const Level original = read(control);
        if (const std::string why = unusable(control, original); !why.empty()) {
            control->Release();
            GTEST_SKIP() << why;
        }
        constexpr float kFloor = volume::kAudibleFloorPercent / 100.0f;
        ASSERT_TRUE(set(control, {true, 0.02f}));
        const auto change = output->makeAudible();
        EXPECT_EQ(change.problem, "");
        EXPECT_EQ(change.raisedFrom, "muted and turned down to 2 %");
        EXPECT_FALSE(read(control).mute);
        EXPECT_NEAR(read(control).level, kFloor, 0.001f);
        output->restore();
        EXPECT_TRUE(read(control).mute);
        EXPECT_NEAR(read(control).level, 0.02f, 0.001f);

        // What the user sets while the alarm sounds is kept.
        ASSERT_EQ(output->makeAudible().raisedFrom, "muted and turned down to 2 %");
        ASSERT_TRUE(set(control, {false, 0.6f}));
        output->restore();
        EXPECT_FALSE(read(control).mute);
        EXPECT_NEAR(read(control).level, 0.6f, 0.001f);

        set(control, original);
        control->Release();
    }
    if (comStarted) CoUninitialize();
}

}  // namespace
