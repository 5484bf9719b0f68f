// A scripted media device for tests: it records every request, answers from fields the
// test sets, simulates the transport state and posts completion notices. It answers as
// the real devices do: tests/platform/mcidev/device_parity_test.cpp holds it to them.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "mci/commands.h"
#include "mci/device.h"
#include "sys/message_queue.h"

namespace fakes {

// One request as the device received it; fields the record does not have stay 0 / empty.
struct MciRequest {
    mci::UINT message = 0;
    mci::DWORD flags = 0;
    mci::DWORD_PTR callback = 0;
    std::optional<std::string> deviceType;   // MCI_OPEN
    std::optional<std::string> elementName;  // MCI_OPEN
    mci::DWORD from = 0;                     // MCI_PLAY
    mci::DWORD to = 0;                       // MCI_PLAY, MCI_SEEK
    mci::DWORD timeFormat = 0;               // MCI_SET
};

std::string messageName(mci::UINT message);

// What a kind of device answers once open; every kind plays, none records or shows
// pictures. Positions are in milliseconds for a file, in tracks (TMSF) for a disc.
struct DeviceProfile {
    bool canEject = false;
    mci::DWORD deviceType = mci::MCI_DEVTYPE_WAVEFORM_AUDIO;
    mci::DWORD timeFormat = mci::MCI_FORMAT_MILLISECONDS;
    std::set<mci::DWORD> timeFormats{mci::MCI_FORMAT_MILLISECONDS};  // accepted by MCI_SET
    mci::DWORD mode = mci::MCI_MODE_STOP;                            // right after the open
    mci::DWORD length = 0;
    mci::DWORD position = 0;
    std::optional<mci::DWORD> end;           // the position at the end, when it is not the length
    std::vector<mci::DWORD> trackStarts{0};  // track 1 first

    static DeviceProfile waveAudio(mci::DWORD lengthMs = 2500);
    static DeviceProfile sequencer(mci::DWORD lengthMs = 60000);
    // An audio CD with tracks of the given seconds; its length is in MSF.
    static DeviceProfile cdAudio(const std::vector<int>& trackSeconds = {180, 200, 240, 150});
};

class ScriptedDevice : public mci::DeviceInterface {
public:
    // Notices go to the queue as MM_MCINOTIFY window messages.
    explicit ScriptedDevice(sys::MessageQueue& queue) : queue_(&queue) {}
    ScriptedDevice() = default;

    mci::MCIERROR sendCommand(mci::MCIDEVICEID device, mci::UINT message, mci::DWORD flags, void* params) override;
    bool errorString(mci::MCIERROR code, char* buffer, mci::UINT size) override;

    // By the type name every MCI_OPEN must give; an open copies the profile into `state`.
    // Tests may change the open device's state at any time.
    std::map<std::string, DeviceProfile> profiles{{"WaveAudio", DeviceProfile::waveAudio()},
                                                  {"Sequencer", DeviceProfile::sequencer()},
                                                  {"CDAudio", DeviceProfile::cdAudio()}};
    mci::DWORD mode = mci::MCI_MODE_STOP;
    DeviceProfile state;
    bool simulate = true;  // whether requests change mode and position
    std::map<mci::MCIERROR, std::string> errorTexts{{mci::MCIERR_FILE_NOT_FOUND, "The file cannot be found"}};

    // The next request of the message fails with the code.
    void failNext(mci::UINT message, mci::MCIERROR code) { failures_[message] = code; }

    // Playing reaches its end: stopped at the end, the pending notice posted as successful.
    void finishPlaying();
    void postNotice(mci::DWORD_PTR window, mci::UINT outcome);

    const std::vector<MciRequest>& requests() const { return requests_; }
    std::vector<MciRequest> requests(mci::UINT message) const;
    std::size_t count(mci::UINT message) const { return requests(message).size(); }
    void clearRequests() { requests_.clear(); }

    const std::string& element() const { return element_; }
    const std::string& typeName() const { return typeName_; }
    bool openedShareable() const { return shareable_; }

private:
    mci::MCIERROR open(mci::DWORD flags, mci::MCI_OPEN_PARMS& p);
    mci::MCIERROR handle(mci::UINT message, mci::DWORD flags, void* params);
    mci::MCIERROR status(mci::DWORD flags, mci::MCI_STATUS_PARMS& p);
    mci::DWORD endPosition() const { return state.end.value_or(state.length); }
    // A request that asks for a notice supersedes the pending one; its own is posted at
    // once, or (`now` false) when playing ends.
    void takeNotify(mci::DWORD flags, mci::DWORD_PTR window, bool now);
    void endPending(mci::UINT outcome);

    sys::MessageQueue* queue_ = nullptr;
    std::vector<MciRequest> requests_;
    std::map<mci::UINT, mci::MCIERROR> failures_;
    mci::DWORD_PTR pending_ = 0;  // the window waiting for the end of playing
    mci::MCIDEVICEID openId_ = 0;
    mci::MCIDEVICEID nextId_ = 1;
    std::string element_;
    std::string typeName_;
    bool shareable_ = false;
};

}  // namespace fakes
