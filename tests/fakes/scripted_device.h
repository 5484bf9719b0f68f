// A scripted media device for tests: it records every request (message, flags and a
// copy of the record), answers from fields the test sets, simulates the transport
// state the program relies on (play, pause, stop, seek, open, close), and posts
// completion notices the way the command interface does.
//
//   fakes::ScriptedDevice device(loop.queue());
//   device.profiles["WaveAudio"].length = 2500;     // what an opened wave file answers
//   player->open();
//   device.failNext(mci::MCI_PLAY, mci::MCIERR_HARDWARE);
//   device.finishPlaying();                         // posts MCI_NOTIFY_SUCCESSFUL
//   EXPECT_EQ(device.requests(mci::MCI_SEEK).size(), 1u);
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "mci/commands.h"
#include "mci/device.h"
#include "ui/message_queue.h"

namespace fakes {

// One request as the device received it. Fields the message's record does not have
// stay 0 / empty.
struct MciRequest {
    mci::MCIDEVICEID device = 0;
    mci::UINT message = 0;
    mci::DWORD flags = 0;
    mci::DWORD_PTR callback = 0;
    // MCI_OPEN
    std::optional<std::string> deviceType;
    std::optional<std::string> elementName;
    std::optional<std::string> alias;
    // MCI_PLAY, MCI_RECORD, MCI_SEEK (dwTo)
    mci::DWORD from = 0;
    mci::DWORD to = 0;
    // MCI_STATUS, MCI_GETDEVCAPS
    mci::DWORD item = 0;
    mci::DWORD track = 0;
    // MCI_SET
    mci::DWORD timeFormat = 0;
    // MCI_STEP
    mci::DWORD frames = 0;
    // MCI_WINDOW
    mci::HWND window = 0;
    // What the device answered.
    mci::MCIERROR result = 0;

    bool has(mci::DWORD flag) const { return (flags & flag) == flag; }
    bool isStatus(mci::DWORD statusItem) const;
};

// Readable names for failure output: "MCI_PLAY", "MCI_NOTIFY | MCI_FROM".
std::string messageName(mci::UINT message);
std::string flagNames(mci::UINT message, mci::DWORD flags);
std::ostream& operator<<(std::ostream& out, const MciRequest& request);

// A notice the device posted (or would have posted, with no queue or callback hook).
struct MciNotice {
    mci::DWORD_PTR window = 0;
    mci::UINT outcome = 0;
    mci::MCIDEVICEID device = 0;
};

// What a kind of device answers after it has been opened.
struct DeviceProfile {
    bool canPlay = true;
    bool canRecord = false;
    bool canEject = false;
    bool hasVideo = false;
    mci::DWORD deviceType = mci::MCI_DEVTYPE_WAVEFORM_AUDIO;
    mci::DWORD timeFormat = mci::MCI_FORMAT_MILLISECONDS;
    // Formats MCI_SET_TIME_FORMAT accepts; empty accepts every format.
    std::set<mci::DWORD> timeFormats;
    bool canResume = true;
    mci::DWORD mode = mci::MCI_MODE_STOP;  // right after the open
    mci::DWORD length = 0;
    mci::DWORD position = 0;
    // Start positions of the tracks (track 1 first), in the device's format.
    std::vector<mci::DWORD> trackStarts;
    mci::MCI_RECT sourceRect{};

    // The three kinds the program opens.
    static DeviceProfile waveAudio(mci::DWORD lengthMs = 2500);
    static DeviceProfile sequencer(mci::DWORD lengthMs = 60000);
    // An audio CD in the tracks/minutes/seconds/frames format: tracks of the given
    // lengths in whole seconds, laid end to end; it can eject.
    static DeviceProfile cdAudio(const std::vector<int>& trackSeconds = {180, 200, 240, 150});
};

class ScriptedDevice : public mci::DeviceInterface {
public:
    // Notices go to the queue as MM_MCINOTIFY window messages (drain it to deliver).
    explicit ScriptedDevice(ui::MessageQueue& queue);
    // Notices go to onNotice only (or are just recorded).
    ScriptedDevice();

    mci::MCIERROR sendCommand(mci::MCIDEVICEID device, mci::UINT message, mci::DWORD flags,
                              void* params) override;
    bool errorString(mci::MCIERROR code, char* buffer, mci::UINT size) override;

    // ---- The script -------------------------------------------------------------------
    // Profiles by the device type name of MCI_OPEN ("CDAudio", "WaveAudio",
    // "Sequencer" are preset); an open without a type, or of a type not listed, takes
    // `fallback`. A successful open copies the profile into the state below.
    std::map<std::string, DeviceProfile> profiles;
    DeviceProfile fallback = DeviceProfile::waveAudio();

    // The open device's state; tests may change any of it at any time.
    mci::DWORD mode = mci::MCI_MODE_STOP;  // MCI_MODE_...
    DeviceProfile state;                    // capabilities, format, length, position, tracks

    // Whether play, pause, stop, seek, resume and eject change mode and position.
    bool simulate = true;
    // Device identifiers handed out by successful opens.
    mci::MCIDEVICEID nextDeviceId = 1;

    // Error texts (errorString answers false for codes not listed). A few codes are
    // preset.
    std::map<mci::MCIERROR, std::string> errorTexts;

    // Failures: the next `times` requests of the message (or every one) fail with code.
    void failNext(mci::UINT message, mci::MCIERROR code, int times = 1);
    void failAlways(mci::UINT message, mci::MCIERROR code);
    // MCI_STATUS of one item (MCI_STATUS_MODE, ...) fails every time.
    void failStatus(mci::DWORD item, mci::MCIERROR code);
    void clearFailures();

    // ---- Notices ------------------------------------------------------------------------
    // The play or record whose notice is still to come (0 window = none).
    bool playPending() const { return pending_.window != 0; }
    // Playing reaches its end: mode stopped, position = length, the pending notice is
    // posted as successful.
    void finishPlaying();
    // Posts a notice now, as if a request to `window` had ended with `outcome`.
    void postNotice(mci::DWORD_PTR window, mci::UINT outcome);
    // Every notice posted so far.
    const std::vector<MciNotice>& notices() const { return notices_; }
    // Called for every notice besides (or, without a queue, instead of) posting it.
    std::function<void(const MciNotice&)> onNotice;

    // ---- What was asked --------------------------------------------------------------
    const std::vector<MciRequest>& requests() const { return requests_; }
    std::vector<MciRequest> requests(mci::UINT message) const;
    // Requests other than MCI_STATUS and MCI_GETDEVCAPS: what changes the device.
    std::vector<MciRequest> commands() const;
    const MciRequest& last() const { return requests_.back(); }
    std::size_t count(mci::UINT message) const { return requests(message).size(); }
    void clearRequests() { requests_.clear(); }
    // Sequence of message names, for compact expectations.
    std::vector<std::string> messageNames() const;

    bool isOpen() const { return openId_ != 0; }
    mci::MCIDEVICEID openId() const { return openId_; }
    // Element (file) name of the open device.
    const std::string& element() const { return element_; }
    const std::string& typeName() const { return typeName_; }
    bool openedShareable() const { return shareable_; }

private:
    struct Failure {
        mci::MCIERROR code;
        int times;  // -1 = always
    };
    mci::MCIERROR injectedFailure(mci::UINT message, mci::DWORD flags, void* params);
    mci::MCIERROR handle(mci::MCIDEVICEID device, mci::UINT message, mci::DWORD flags, void* params);
    mci::MCIERROR status(mci::DWORD flags, mci::MCI_STATUS_PARMS& p);
    void startPending(mci::DWORD_PTR window, bool withNotify);
    void endPending(mci::UINT outcome);
    void noticeNow(mci::DWORD flags, mci::DWORD_PTR window);
    void record(MciRequest request);

    ui::MessageQueue* queue_ = nullptr;
    std::vector<MciRequest> requests_;
    std::vector<MciNotice> notices_;
    std::map<mci::UINT, Failure> failures_;
    std::map<mci::DWORD, mci::MCIERROR> statusFailures_;
    MciNotice pending_;
    mci::MCIDEVICEID openId_ = 0;
    std::string element_;
    std::string typeName_;
    bool shareable_ = false;
};

}  // namespace fakes
