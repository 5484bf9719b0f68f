// TMediaPlayer: the transport control. It drives one open media device through the
// command interface (mci::DeviceInterface) and draws a bar of up to nine push buttons
// that send the transport commands.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "mci/commands.h"
#include "mci/device.h"
#include "sys/exception.h"
#include "ui/accessible.h"
#include "ui/canvas.h"
#include "ui/controls.h"
#include "ui/enum_set.h"

namespace mci {

// The buttons, in their left-to-right order.
enum TMPBtnType : std::uint8_t {
    btPlay,
    btPause,
    btStop,
    btNext,
    btPrev,
    btStep,
    btBack,
    btRecord,
    btEject,
};
inline constexpr int buttonCount = 9;
using TButtonSet = ui::EnumSet<TMPBtnType, std::uint16_t>;
inline constexpr TButtonSet allButtons = TButtonSet::fromBits(0x01FF);

enum TMPDeviceTypes : std::uint8_t {
    dtAutoSelect,
    dtAVIVideo,
    dtCDAudio,
    dtDAT,
    dtDigitalVideo,
    dtMMMovie,
    dtOther,
    dtOverlay,
    dtScanner,
    dtSequencer,
    dtVCR,
    dtVideodisc,
    dtWaveAudio,
};

// The device mode: the command interface's mode number minus MCI_MODE_NOT_READY.
enum TMPMode : std::uint8_t {
    mdNotReady,
    mdStopped,
    mdPlaying,
    mdRecording,
    mdSeeking,
    mdPaused,
    mdOpen,
};

// The time format is the command interface's format number itself (MCI_FORMAT_...).
enum TMPTimeFormat : std::uint8_t {
    fmtMilliseconds = MCI_FORMAT_MILLISECONDS,
    fmtHMS = MCI_FORMAT_HMS,
    fmtMSF = MCI_FORMAT_MSF,
    fmtFrames = MCI_FORMAT_FRAMES,
    fmtSMPTE24 = MCI_FORMAT_SMPTE_24,
    fmtSMPTE25 = MCI_FORMAT_SMPTE_25,
    fmtSMPTE30 = MCI_FORMAT_SMPTE_30,
    fmtSMPTE30Drop = MCI_FORMAT_SMPTE_30DROP,
    fmtBytes = MCI_FORMAT_BYTES,
    fmtSamples = MCI_FORMAT_SAMPLES,
    fmtTMSF = MCI_FORMAT_TMSF,
};

enum TMPNotifyValue : std::uint8_t {
    nfSuccessful,
    nfSuperseded,
    nfAborted,
    nfFailure,
};

// Capabilities as bit positions; TMPCapabilities::bits() gives cpCanStep = 1,
// cpCanEject = 2, cpCanPlay = 4, cpCanRecord = 8, cpUsesWindow = 16.
enum TMPCapability : std::uint8_t {
    cpCanStep,
    cpCanEject,
    cpCanPlay,
    cpCanRecord,
    cpUsesWindow,
};
using TMPCapabilities = ui::EnumSet<TMPCapability, std::uint8_t>;

class TMediaPlayer;

// OnClick: the handler may clear doDefault to keep the button's command from running.
using EMPNotify = std::function<void(ui::Component* sender, TMPBtnType button, bool& doDefault)>;
// OnPostClick: after the command of a button has run.
using EMPPostNotify = std::function<void(ui::Component* sender, TMPBtnType button)>;

// Raised when a request needs an open device and none is open, and when Open fails.
class EMCIDeviceError : public sys::Error {
public:
    using sys::Error::Error;
};

class TMediaPlayer : public ui::CustomControl, public ui::AccessibleParts {
public:
    TMediaPlayer(ui::Component* parent, std::string name, DeviceInterface& device);
    ~TMediaPlayer() override;

    // ---- Device settings --------------------------------------------------------
    TMPDeviceTypes deviceType() const { return deviceType_; }
    void setDeviceType(TMPDeviceTypes type) { deviceType_ = type; }
    const std::string& fileName() const { return fileName_; }
    void setFileName(const std::string& name) { fileName_ = name; }
    bool shareable() const { return shareable_; }
    void setShareable(bool v) { shareable_ = v; }
    bool autoOpen() const { return autoOpen_; }
    void setAutoOpen(bool v) { autoOpen_ = v; }
    bool autoRewind() const { return autoRewind_; }
    void setAutoRewind(bool v) { autoRewind_ = v; }
    // The control that shows a video device's picture (null: none).
    ui::CustomControl* display() const { return display_; }
    void setDisplay(ui::CustomControl* control);

    // ---- One-shot settings for the next request that reads them ----------------
    bool notify() const { return notify_; }
    void setNotify(bool v);
    bool wait() const { return wait_; }
    void setWait(bool v);
    std::int32_t from() const { return from_; }
    void setFrom(std::int32_t position);
    std::int32_t to() const { return to_; }
    void setTo(std::int32_t position);
    // Frames moved by one Step or Back; Open sets it to a tenth of the length.
    std::int32_t frames() const { return frames_; }
    void setFrames(std::int32_t count) { frames_ = count; }

    // ---- Requests ------------------------------------------------------------------
    void open();
    void close();
    void play();
    void startRecording();
    void stop();
    void pause();  // pauses when playing, resumes when paused
    void next();
    void previous();
    void step();
    void back();
    void eject();
    void rewind();

    // ---- Status ---------------------------------------------------------------------
    TMPMode mode();  // mdNotReady when the device does not answer
    std::int32_t length();
    std::int32_t position();  // 0 when the device does not answer
    std::int32_t tracks();
    std::int32_t trackPosition(std::int32_t track);
    TMPTimeFormat timeFormat();
    void setTimeFormat(TMPTimeFormat format);
    MCIERROR error() const { return error_; }
    std::string errorMessage();
    TMPNotifyValue notifyValue() const { return notifyValue_; }
    TMPCapabilities capabilities() const { return capabilities_; }
    bool canPlay() const { return capabilities_.contains(cpCanPlay); }
    bool canRecord() const { return capabilities_.contains(cpCanRecord); }
    bool canEject() const { return capabilities_.contains(cpCanEject); }
    bool canStep() const { return capabilities_.contains(cpCanStep); }
    bool usesWindow() const { return capabilities_.contains(cpUsesWindow); }
    MCIDEVICEID deviceID() const { return deviceId_; }
    bool isOpen() const { return open_; }
    int displayWidth() const { return displayWidth_; }
    int displayHeight() const { return displayHeight_; }

    // ---- Button bar -----------------------------------------------------------------
    TButtonSet visibleButtons() const { return visibleButtons_; }
    void setVisibleButtons(TButtonSet set);
    TButtonSet enabledButtons() const { return enabledButtons_; }
    void setEnabledButtons(TButtonSet set);
    TButtonSet coloredButtons() const { return coloredButtons_; }
    void setColoredButtons(TButtonSet set);
    bool autoEnable() const { return autoEnable_; }
    void setAutoEnable(bool v);
    // The auto-enable set: the buttons the device's state makes live.
    TButtonSet autoButtons() const { return autoButtons_; }
    int buttonWidth() const { return buttonWidth_; }
    int minButtonWidth() const { return minButtonWidth_; }
    int minButtonHeight() const { return minButtonHeight_; }
    TMPBtnType focusedButton() const { return focusedButton_; }
    TMPBtnType pressedButton() const { return pressedButton_; }
    // Left edge of a visible button, or -1 for a hidden one.
    int buttonLeft(TMPBtnType button) const;
    // Whether the button is drawn and answers the mouse as live.
    bool buttonLive(TMPBtnType button) const;

    // Loading from a window description: sizing waits until loaded(), which also
    // opens the device when AutoOpen is set.
    void beginLoading() { loading_ = true; }
    void loaded();
    bool loading() const { return loading_; }

    // ---- Control --------------------------------------------------------------------
    void paint(ui::Canvas& canvas) override;
    void mouseDown(ui::Point where) override;  // left button down or double-click
    void mouseMove(ui::Point where) override;
    void mouseUp(ui::Point where) override;
    void keyDown(ui::Key key) override;
    bool wantsArrows() const override { return true; }
    void focusChanged(bool hasFocus) override;

    // ---- The buttons as assistive tools see them: all nine, by TMPBtnType -------
    int partCount() const override { return buttonCount; }
    std::string partName(int index) const override;
    ui::Rect partRect(int index) const override;
    bool partEnabled(int index) const override;
    bool partVisible(int index) const override;
    void pressPart(int index) override;
    int focusedPart() const override { return focused() ? focusedButton_ : -1; }

    EMPNotify onClick;
    EMPPostNotify onPostClick;
    ui::NotifyEvent onNotify;

protected:
    virtual void autoButtonSet(TMPBtnType button);
    virtual void click(TMPBtnType button, bool& doDefault);
    virtual void postClick(TMPBtnType button);
    virtual void doNotify();

    void windowMessage(const sys::Message& msg) override;
    void boundsChanged() override;

private:
    struct Glyphs {
        const ui::Bitmap* enabled = nullptr;
        const ui::Bitmap* disabled = nullptr;
        const ui::Bitmap* colored = nullptr;
    };

    void checkOpen() const;
    DWORD_PTR callbackWindow();
    // The MCI_WAIT / MCI_NOTIFY part of a flag word; consumes the one-shot marks.
    DWORD waitNotifyFlags(bool waitByDefault, bool notifyByDefault);
    DWORD status(DWORD item, bool& ok);
    void readCapabilities();
    void sendDisplayWindow();
    void playOrRecord(UINT message);
    void sendStep(DWORD direction);
    void goToTrackPosition(std::int32_t target, DWORD flags, MCI_SEEK_PARMS& parms);
    void clickSequence();
    void runCommand(TMPBtnType button);
    void addPlayAndRecord();
    void stoppedButtons();  // Play and Record as the device allows, no Pause or Stop
    void resize();
    int visibleCount() const;
    void drawButton(ui::Canvas& canvas, TMPBtnType button, int x) const;
    const ui::Bitmap& glyphFor(TMPBtnType button) const;

    DeviceInterface& device_;

    TMPDeviceTypes deviceType_ = dtAutoSelect;
    std::string fileName_;
    bool shareable_ = false;
    bool autoOpen_ = false;
    bool autoRewind_ = true;
    ui::CustomControl* display_ = nullptr;

    bool open_ = false;
    MCIDEVICEID deviceId_ = 0;
    MCIERROR error_ = 0;
    bool notify_ = false, notifyGiven_ = false;
    bool wait_ = false, waitGiven_ = false;
    std::int32_t from_ = 0;
    bool fromGiven_ = false;
    std::int32_t to_ = 0;
    bool toGiven_ = false;
    std::int32_t frames_ = 0;
    TMPNotifyValue notifyValue_ = nfSuccessful;
    TMPCapabilities capabilities_;
    int displayWidth_ = 0;
    int displayHeight_ = 0;

    std::array<Glyphs, buttonCount> glyphs_{};
    TButtonSet visibleButtons_ = allButtons;
    TButtonSet enabledButtons_ = allButtons;
    TButtonSet coloredButtons_ = allButtons;
    bool autoEnable_ = true;
    TButtonSet autoButtons_;
    int buttonWidth_ = 0;
    int minButtonWidth_ = 0;
    int minButtonHeight_ = 0;
    TMPBtnType focusedButton_ = btPlay;
    TMPBtnType pressedButton_ = btPlay;
    bool tracking_ = false;
    bool pressedLook_ = false;
    ui::Rect pressedRect_;
    bool loading_ = false;
};

}  // namespace mci
