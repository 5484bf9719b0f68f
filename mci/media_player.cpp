#include "mci/media_player.h"

#include <algorithm>
#include <array>
#include <utility>

namespace mci {

namespace {

// Device type names sent with MCI_OPEN_TYPE, by TMPDeviceTypes value.
constexpr std::array<const char*, 13> deviceTypeNames = {
    nullptr,   "AVIVideo", "CDAudio",   "DAT", "DigitalVideo", "MMMovie",   "Other",
    "Overlay", "Scanner",  "Sequencer", "VCR", "Videodisc",    "WaveAudio",
};

constexpr std::array<const char*, buttonCount> buttonNames = {
    "MPPLAY", "MPPAUSE", "MPSTOP", "MPNEXT", "MPPREV", "MPSTEP", "MPBACK", "MPRECORD", "MPEJECT",
};

constexpr ui::Color transparentGlyphColor = ui::colors::olive;
constexpr std::size_t errorTextSize = 4096;

const ui::Bitmap& glyph(const char* prefix, TMPBtnType button) {
    return ui::resourceBitmap(std::string(prefix) + "_" + buttonNames[button]);
}

}  // namespace

TMediaPlayer::TMediaPlayer(ui::Component* parent, std::string name, DeviceInterface& device)
    : ui::CustomControl(parent, std::move(name)), device_(device) {
    int widest = 0;
    int tallest = 0;
    for (int i = 0; i < buttonCount; ++i) {
        const auto b = static_cast<TMPBtnType>(i);
        Glyphs& g = glyphs_[b];
        g = {&glyph("EN", b), &glyph("DI", b), &glyph("CL", b)};
        for (const ui::Bitmap* each : {g.enabled, g.disabled, g.colored}) {
            widest = std::max(widest, each->width());
            tallest = std::max(tallest, each->height());
        }
    }
    minButtonWidth_ = widest + 8;
    minButtonHeight_ = tallest + 4;
    setBounds(0, 0, 240, 30);
}

TMediaPlayer::~TMediaPlayer() {
    if (deviceId_ != 0) {
        MCI_GENERIC_PARMS parms{};
        device_.sendCommand(deviceId_, MCI_CLOSE, MCI_WAIT, &parms);
    }
}

// ---- Helpers ---------------------------------------------------------------------

void TMediaPlayer::checkOpen() const {
    if (!open_) throw EMCIDeviceError("No MCI device open");
}

DWORD_PTR TMediaPlayer::callbackWindow() { return static_cast<DWORD_PTR>(handle()); }

DWORD TMediaPlayer::waitNotifyFlags(bool waitByDefault, bool notifyByDefault) {
    const bool withWait = waitGiven_ ? wait_ : waitByDefault;
    const bool withNotify = notifyGiven_ ? notify_ : notifyByDefault;
    waitGiven_ = false;
    notifyGiven_ = false;
    DWORD flags = 0;
    if (withWait) flags |= MCI_WAIT;
    if (withNotify) flags |= MCI_NOTIFY;
    return flags;
}

DWORD TMediaPlayer::status(DWORD item, bool& ok) {
    MCI_STATUS_PARMS parms{};
    parms.dwItem = item;
    error_ = device_.sendCommand(deviceId_, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, &parms);
    ok = error_ == 0;
    return ok ? static_cast<DWORD>(parms.dwReturn) : 0;
}

// ---- One-shot settings -------------------------------------------------------------

void TMediaPlayer::setNotify(bool v) {
    notify_ = v;
    notifyGiven_ = true;
}

void TMediaPlayer::setWait(bool v) {
    wait_ = v;
    waitGiven_ = true;
}

void TMediaPlayer::setFrom(std::int32_t position) {
    from_ = position;
    fromGiven_ = true;
}

void TMediaPlayer::setTo(std::int32_t position) {
    to_ = position;
    toGiven_ = true;
}

// ---- Open and close ----------------------------------------------------------------

void TMediaPlayer::open() {
    if (open_ || deviceId_ != 0) close();

    MCI_OPEN_PARMS parms{};
    parms.dwCallback = callbackWindow();
    DWORD flags = waitNotifyFlags(true, false);
    if (deviceType_ != dtAutoSelect) {
        parms.lpstrDeviceType = deviceTypeNames[deviceType_];
        flags |= MCI_OPEN_TYPE;
    }
    if (!fileName_.empty()) {
        parms.lpstrElementName = fileName_.c_str();
        flags |= MCI_OPEN_ELEMENT;
    }
    if (shareable_) flags |= MCI_OPEN_SHAREABLE;

    error_ = device_.sendCommand(0, MCI_OPEN, flags, &parms);
    if (error_ != 0) throw EMCIDeviceError(errorMessage());

    open_ = true;
    deviceId_ = parms.wDeviceID;
    frames_ = length() / 10;
    readCapabilities();
    if (usesWindow()) {
        sendDisplayWindow();
        MCI_DGV_RECT_PARMS where{};
        error_ = device_.sendCommand(deviceId_, MCI_WHERE, MCI_DGV_WHERE_DESTINATION | MCI_WAIT, &where);
        displayWidth_ = where.rc.right - where.rc.left;
        displayHeight_ = where.rc.bottom - where.rc.top;
    }
    if (deviceType_ == dtCDAudio || deviceType_ == dtVideodisc) setTimeFormat(fmtTMSF);

    autoButtons_ = {btNext, btPrev};
    if (canStep()) {
        autoButtons_.insert(btStep);
        autoButtons_.insert(btBack);
    }
    addPlayAndRecord();
    if (canEject()) autoButtons_.insert(btEject);
    if (mode() == mdPlaying) autoButtonSet(btPlay);
    invalidate();
}

void TMediaPlayer::readCapabilities() {
    // A new device starts from nothing: what an earlier device could do says nothing
    // about this one.
    capabilities_.clear();
    auto ask = [this](DWORD item) {
        MCI_GETDEVCAPS_PARMS parms{};
        parms.dwItem = item;
        device_.sendCommand(deviceId_, MCI_GETDEVCAPS, MCI_GETDEVCAPS_ITEM | MCI_WAIT, &parms);
        return parms.dwReturn;
    };
    const std::pair<DWORD, TMPCapability> items[] = {{MCI_GETDEVCAPS_CAN_PLAY, cpCanPlay},
                                                     {MCI_GETDEVCAPS_CAN_RECORD, cpCanRecord},
                                                     {MCI_GETDEVCAPS_CAN_EJECT, cpCanEject},
                                                     {MCI_GETDEVCAPS_HAS_VIDEO, cpUsesWindow}};
    for (const auto& [item, capability] : items) {
        if (ask(item) != 0) capabilities_.insert(capability);
    }
    const DWORD type = ask(MCI_GETDEVCAPS_DEVICE_TYPE);
    if (type == MCI_DEVTYPE_ANIMATION || type == MCI_DEVTYPE_DIGITAL_VIDEO || type == MCI_DEVTYPE_OVERLAY ||
        type == MCI_DEVTYPE_VCR) {
        capabilities_.insert(cpCanStep);
    }

    MCI_DGV_RECT_PARMS where{};
    error_ = device_.sendCommand(deviceId_, MCI_WHERE, MCI_DGV_WHERE_SOURCE | MCI_WAIT, &where);
    displayWidth_ = where.rc.right - where.rc.left;
    displayHeight_ = where.rc.bottom - where.rc.top;
}

void TMediaPlayer::close() {
    if (deviceId_ == 0) return;
    MCI_GENERIC_PARMS parms{};
    parms.dwCallback = callbackWindow();
    error_ = device_.sendCommand(deviceId_, MCI_CLOSE, waitNotifyFlags(true, false), &parms);
    if (error_ != 0) return;
    open_ = false;
    deviceId_ = 0;
    autoButtons_.clear();
    invalidate();
}

// ---- Display (video devices) ---------------------------------------------------------

void TMediaPlayer::setDisplay(ui::CustomControl* control) {
    display_ = control;
    if (open_ && usesWindow()) sendDisplayWindow();
}

void TMediaPlayer::sendDisplayWindow() {
    MCI_DGV_WINDOW_PARMS parms{};
    parms.hWnd = display_ ? static_cast<HWND>(display_->handle()) : 0;
    error_ = device_.sendCommand(deviceId_, MCI_WINDOW, MCI_DGV_WINDOW_HWND | MCI_WAIT, &parms);
    if (error_ != 0) display_ = nullptr;
}

// ---- Transport requests ------------------------------------------------------------

void TMediaPlayer::playOrRecord(UINT message) {
    MCI_PLAY_PARMS parms{};  // the record layout is the same for MCI_RECORD
    static_assert(sizeof(MCI_PLAY_PARMS) == sizeof(MCI_RECORD_PARMS));
    parms.dwCallback = callbackWindow();
    DWORD flags = waitNotifyFlags(false, true);
    if (fromGiven_) {
        flags |= MCI_FROM;
        parms.dwFrom = static_cast<DWORD>(from_);
        fromGiven_ = false;
    }
    if (toGiven_) {
        flags |= MCI_TO;
        parms.dwTo = static_cast<DWORD>(to_);
        toGiven_ = false;
    }
    if (message == MCI_RECORD) {
        MCI_RECORD_PARMS record{parms.dwCallback, parms.dwFrom, parms.dwTo};
        error_ = device_.sendCommand(deviceId_, MCI_RECORD, flags, &record);
    } else {
        error_ = device_.sendCommand(deviceId_, MCI_PLAY, flags, &parms);
    }
}

void TMediaPlayer::play() {
    checkOpen();
    if (autoRewind_ && position() == length() && !fromGiven_ && !toGiven_) rewind();
    playOrRecord(MCI_PLAY);
}

void TMediaPlayer::startRecording() {
    checkOpen();
    playOrRecord(MCI_RECORD);
}

void TMediaPlayer::stop() {
    checkOpen();
    MCI_GENERIC_PARMS parms{};
    parms.dwCallback = callbackWindow();
    error_ = device_.sendCommand(deviceId_, MCI_STOP, waitNotifyFlags(true, false), &parms);
}

void TMediaPlayer::pause() {
    checkOpen();
    if (mode() == mdPlaying) {
        MCI_GENERIC_PARMS parms{};
        parms.dwCallback = callbackWindow();
        error_ = device_.sendCommand(deviceId_, MCI_PAUSE, waitNotifyFlags(true, false), &parms);
        return;
    }
    if (mode() != mdPaused) return;

    // Resume keeps the one-shot marks until it succeeds: a device that cannot resume
    // is played instead, and that Play uses them.
    DWORD flags = 0;
    if (!(notifyGiven_ && !notify_)) flags |= MCI_NOTIFY;
    if (waitGiven_ && wait_) flags |= MCI_WAIT;
    MCI_GENERIC_PARMS parms{};
    parms.dwCallback = callbackWindow();
    error_ = device_.sendCommand(deviceId_, MCI_RESUME, flags, &parms);
    if (error_ != 0) {
        play();
    } else {
        notifyGiven_ = false;
        waitGiven_ = false;
    }
}

// Next and Previous on a disc: a playing disc plays on from the target, a stopped
// one seeks to it.
void TMediaPlayer::goToTrackPosition(std::int32_t target, DWORD flags, MCI_SEEK_PARMS& parms) {
    if (mode() == mdPlaying) {
        setFrom(target);
        play();
        pressedButton_ = btPlay;
        return;
    }
    parms.dwTo = static_cast<DWORD>(target);
    error_ = device_.sendCommand(deviceId_, MCI_SEEK, flags | MCI_TO, &parms);
}

void TMediaPlayer::next() {
    checkOpen();
    DWORD flags = waitNotifyFlags(true, false);
    MCI_SEEK_PARMS parms{};
    parms.dwCallback = callbackWindow();
    if (timeFormat() != fmtTMSF) {
        error_ = device_.sendCommand(deviceId_, MCI_SEEK, flags | MCI_SEEK_TO_END, &parms);
        return;
    }
    const std::int32_t track = position() & 0xFF;
    const std::int32_t count = tracks();
    const std::int32_t target = track == count ? trackPosition(count) : trackPosition(track + 1);
    goToTrackPosition(target, flags, parms);
}

void TMediaPlayer::previous() {
    checkOpen();
    DWORD flags = waitNotifyFlags(true, false);
    MCI_SEEK_PARMS parms{};
    parms.dwCallback = callbackWindow();
    if (timeFormat() != fmtTMSF) {
        error_ = device_.sendCommand(deviceId_, MCI_SEEK, flags | MCI_SEEK_TO_START, &parms);
        return;
    }
    const auto here = static_cast<DWORD>(position());
    const std::int32_t track = static_cast<std::int32_t>(MCI_TMSF_TRACK(here));
    const auto start = static_cast<DWORD>(trackPosition(track));
    // Within the first second of a track, go to the start of the track before it. A
    // track number of 0 (no disc) has no track before it.
    const bool withinFirstSecond =
        MCI_TMSF_MINUTE(here) == MCI_TMSF_MINUTE(start) && MCI_TMSF_SECOND(here) == MCI_TMSF_SECOND(start);
    const std::int32_t target =
        track > 1 && withinFirstSecond ? trackPosition(track - 1) : static_cast<std::int32_t>(start);
    goToTrackPosition(target, flags, parms);
}

void TMediaPlayer::step() {
    checkOpen();
    if (!usesWindow()) return;
    if (autoRewind_ && position() == length()) rewind();
    sendStep(0);
}

void TMediaPlayer::back() {
    checkOpen();
    if (!usesWindow()) return;
    sendStep(MCI_DGV_STEP_REVERSE);
}

void TMediaPlayer::sendStep(DWORD direction) {
    MCI_DGV_STEP_PARMS parms{};
    parms.dwCallback = callbackWindow();
    parms.dwFrames = static_cast<DWORD>(frames_);
    error_ = device_.sendCommand(deviceId_, MCI_STEP, waitNotifyFlags(true, false) | MCI_DGV_STEP_FRAMES | direction,
                                 &parms);
}

void TMediaPlayer::eject() {
    checkOpen();
    if (!canEject()) return;
    MCI_SET_PARMS parms{};
    parms.dwCallback = callbackWindow();
    error_ = device_.sendCommand(deviceId_, MCI_SET, waitNotifyFlags(true, false) | MCI_SET_DOOR_OPEN, &parms);
}

void TMediaPlayer::rewind() {
    checkOpen();
    MCI_SEEK_PARMS parms{};
    device_.sendCommand(deviceId_, MCI_SEEK, MCI_SEEK_TO_START | MCI_WAIT, &parms);
}

// ---- Status ---------------------------------------------------------------------------

TMPMode TMediaPlayer::mode() {
    bool ok = false;
    const DWORD answer = status(MCI_STATUS_MODE, ok);
    if (!ok) return mdNotReady;
    return static_cast<TMPMode>((answer - MCI_MODE_NOT_READY) & 0xFF);
}

std::int32_t TMediaPlayer::length() {
    checkOpen();
    bool ok = false;
    return static_cast<std::int32_t>(status(MCI_STATUS_LENGTH, ok));
}

std::int32_t TMediaPlayer::position() {
    bool ok = false;
    return static_cast<std::int32_t>(status(MCI_STATUS_POSITION, ok));
}

std::int32_t TMediaPlayer::tracks() {
    checkOpen();
    bool ok = false;
    return static_cast<std::int32_t>(status(MCI_STATUS_NUMBER_OF_TRACKS, ok));
}

std::int32_t TMediaPlayer::trackPosition(std::int32_t track) {
    MCI_STATUS_PARMS parms{};
    parms.dwItem = MCI_STATUS_POSITION;
    parms.dwTrack = static_cast<DWORD>(track);
    const MCIERROR result = device_.sendCommand(deviceId_, MCI_STATUS, MCI_TRACK | MCI_STATUS_ITEM | MCI_WAIT, &parms);
    return result == 0 ? static_cast<std::int32_t>(parms.dwReturn) : 0;
}

TMPTimeFormat TMediaPlayer::timeFormat() {
    checkOpen();
    bool ok = false;
    return static_cast<TMPTimeFormat>(status(MCI_STATUS_TIME_FORMAT, ok) & 0xFF);
}

void TMediaPlayer::setTimeFormat(TMPTimeFormat format) {
    // No callback window is named, so the notice this asks for never arrives: a
    // format change must not look like the end of playing.
    MCI_SET_PARMS parms{};
    parms.dwTimeFormat = format;
    error_ = device_.sendCommand(deviceId_, MCI_SET, MCI_SET_TIME_FORMAT | MCI_NOTIFY, &parms);
}

std::string TMediaPlayer::errorMessage() {
    std::array<char, errorTextSize> buffer{};
    if (!device_.errorString(error_, buffer.data(), static_cast<UINT>(buffer.size()))) {
        return "Unknown error code";
    }
    buffer.back() = '\0';
    return std::string(buffer.data());
}

// ---- Completion notice ------------------------------------------------------------------

void TMediaPlayer::windowMessage(const sys::Message& msg) {
    if (msg.id != MM_MCINOTIFY) return;
    if (autoEnable_ && mode() == mdStopped) {
        stoppedButtons();
        invalidate();
    }
    switch (msg.wParam) {
    case MCI_NOTIFY_SUCCESSFUL: notifyValue_ = nfSuccessful; break;
    case MCI_NOTIFY_SUPERSEDED: notifyValue_ = nfSuperseded; break;
    case MCI_NOTIFY_ABORTED: notifyValue_ = nfAborted; break;
    case MCI_NOTIFY_FAILURE: notifyValue_ = nfFailure; break;
    default: break;
    }
    doNotify();
}

void TMediaPlayer::doNotify() {
    if (onNotify) onNotify(this);
}

// ---- Auto-enable set --------------------------------------------------------------------

void TMediaPlayer::addPlayAndRecord() {
    if (canPlay()) autoButtons_.insert(btPlay);
    if (canRecord()) autoButtons_.insert(btRecord);
}

void TMediaPlayer::stoppedButtons() {
    addPlayAndRecord();
    autoButtons_.erase(btPause);
    autoButtons_.erase(btStop);
}

void TMediaPlayer::autoButtonSet(TMPBtnType button) {
    switch (button) {
    case btPlay:
    case btRecord:
        autoButtons_.erase(btPlay);
        autoButtons_.erase(btRecord);
        autoButtons_.insert(btPause);
        autoButtons_.insert(btStop);
        break;
    case btPause: addPlayAndRecord(); break;
    default: stoppedButtons(); break;
    }
}

// ---- Button settings --------------------------------------------------------------------

void TMediaPlayer::setEnabledButtons(TButtonSet set) {
    enabledButtons_ = set;
    invalidate();
}

void TMediaPlayer::setColoredButtons(TButtonSet set) {
    coloredButtons_ = set;
    invalidate();
}

void TMediaPlayer::setVisibleButtons(TButtonSet set) {
    visibleButtons_ = set;
    if (loading_) {
        buttonWidth_ = (width() - 1) / visibleCount() + 1;
    } else {
        setBounds(left(), top(), (buttonWidth_ - 1) * visibleCount() + 1, height());
        resize();
    }
    invalidate();
}

void TMediaPlayer::setAutoEnable(bool v) {
    if (v == autoEnable_) return;
    autoEnable_ = v;
    invalidate();
}

bool TMediaPlayer::buttonLive(TMPBtnType button) const {
    return (autoEnable_ ? autoButtons_ : enabledButtons_).contains(button);
}

// ---- Sizing and layout ------------------------------------------------------------------

int TMediaPlayer::visibleCount() const {
    int n = 0;
    for (int i = 0; i < buttonCount; ++i) n += visibleButtons_.contains(static_cast<TMPBtnType>(i)) ? 1 : 0;
    return std::max(n, 1);
}

int TMediaPlayer::buttonLeft(TMPBtnType button) const {
    if (!visibleButtons_.contains(button)) return -1;
    int x = 0;
    for (int i = 0; i < button; ++i) {
        if (visibleButtons_.contains(static_cast<TMPBtnType>(i))) x += buttonWidth_ - 1;
    }
    return x;
}

void TMediaPlayer::boundsChanged() {
    if (!loading_) resize();
}

void TMediaPlayer::resize() {
    const int n = visibleCount();
    buttonWidth_ = (width() - 1) / n + 1;
    const int w = std::max((buttonWidth_ - 1) * n + 1, (minButtonWidth_ - 1) * n + 1);
    const int h = std::max(height(), minButtonHeight_);
    if (w != width() || h != height()) setBounds(left(), top(), w, h);
}

void TMediaPlayer::loaded() {
    loading_ = false;
    if (buttonWidth_ <= 0) buttonWidth_ = (width() - 1) / visibleCount() + 1;
    setBounds(left(), top(), (buttonWidth_ - 1) * visibleCount() + 1, height());
    resize();
    invalidate();
    if (autoOpen_) open();
}

// ---- Painting ---------------------------------------------------------------------------

void TMediaPlayer::paint(ui::Canvas& canvas) {
    const ui::Rect client{0, 0, width(), height()};
    // The whole client area is ours: fill it so nothing stale shows where no button is.
    canvas.fillRect(client, ui::colors::btnFace);
    canvas.frameRect(client, ui::colors::windowFrame);
    for (int i = 0; i < buttonCount; ++i) {
        const auto b = static_cast<TMPBtnType>(i);
        if (visibleButtons_.contains(b)) drawButton(canvas, b, buttonLeft(b));
    }
}

const ui::Bitmap& TMediaPlayer::glyphFor(TMPBtnType button) const {
    const Glyphs& g = glyphs_[button];
    if (!enabled() || !buttonLive(button)) return *g.disabled;
    return coloredButtons_.contains(button) ? *g.colored : *g.enabled;
}

void TMediaPlayer::drawButton(ui::Canvas& canvas, TMPBtnType button, int x) const {
    const int w = buttonWidth_;
    const int h = height();
    const bool pressed = pressedLook_ && button == pressedButton_;
    const ui::Rect face{x, 0, x + w, h};
    canvas.fillRect(face, ui::colors::btnFace);
    canvas.frameRect(face, ui::colors::windowFrame);
    if (pressed) {
        const ui::Point shadow[] = {{x + 1, h - 2}, {x + 1, 1}, {x + w - 1, 1}};
        canvas.polyline(shadow, ui::colors::btnShadow);
    } else {
        const ui::Point light[] = {{x + 1, h - 2}, {x + 1, 1}, {x + w - 1, 1}};
        canvas.polyline(light, ui::colors::btnHighlight);
        const ui::Point shadow[] = {{x + 2, h - 2}, {x + w - 2, h - 2}, {x + w - 2, 1}};
        canvas.polyline(shadow, ui::colors::btnShadow);
    }
    const ui::Bitmap& g = glyphFor(button);
    const int shift = pressed ? 1 : 0;
    canvas.drawBitmap(x + w / 2 - g.width() / 2 + shift, h / 2 - g.height() / 2 + shift, g, transparentGlyphColor,
                      ui::colors::btnFace);
    if (focused() && button == focusedButton_) {
        canvas.drawFocusRect(face.inflated(-3).offset(shift, shift));
    }
}

void TMediaPlayer::focusChanged(bool hasFocus) {
    ui::CustomControl::focusChanged(hasFocus);
    invalidate();
}

// ---- Mouse --------------------------------------------------------------------------------

void TMediaPlayer::mouseDown(ui::Point where) {
    int hit = -1;
    for (int i = 0; i < buttonCount; ++i) {
        const auto b = static_cast<TMPBtnType>(i);
        if (!visibleButtons_.contains(b)) continue;
        const int x = buttonLeft(b);
        if (x <= where.x && where.x <= x + buttonWidth_) {
            hit = i;
            break;
        }
    }
    if (hit < 0) return;
    const auto b = static_cast<TMPBtnType>(hit);
    if (!buttonLive(b)) return;

    pressedButton_ = b;
    if (b != focusedButton_) {
        focusedButton_ = b;
        invalidate();
    }
    const int x = buttonLeft(b);
    pressedRect_ = {x, 0, x + buttonWidth_, height()};
    tracking_ = true;
    pressedLook_ = true;
    invalidate();
}

void TMediaPlayer::mouseMove(ui::Point where) {
    if (!tracking_) return;
    const bool inside = pressedRect_.contains(where);
    if (inside != pressedLook_) {
        pressedLook_ = inside;
        invalidate();
    }
}

void TMediaPlayer::mouseUp(ui::Point) {
    // Tracking ends even when the command raises.
    struct EndTracking {
        bool& tracking;
        ~EndTracking() { tracking = false; }
    } end{tracking_};
    if (!tracking_ || !pressedLook_) return;
    pressedLook_ = false;
    invalidate();
    clickSequence();
    if (autoEnable_ && error_ == 0 && open_) {
        autoButtonSet(pressedButton_);
        invalidate();
    }
}

// ---- Keyboard -----------------------------------------------------------------------------

void TMediaPlayer::keyDown(ui::Key key) {
    switch (key) {
    case ui::Key::Right:
    case ui::Key::Left: {
        // Walk to the next visible button in that direction; at the end of the row the
        // focus stays where it is (it never lands on a hidden button).
        const int dir = key == ui::Key::Right ? 1 : -1;
        for (int i = focusedButton_ + dir; i >= 0 && i < buttonCount; i += dir) {
            if (visibleButtons_.contains(static_cast<TMPBtnType>(i))) {
                focusedButton_ = static_cast<TMPBtnType>(i);
                invalidate();
                break;
            }
        }
        break;
    }
    case ui::Key::Space:
        if (!enabledButtons_.contains(focusedButton_)) break;
        pressedButton_ = focusedButton_;
        clickSequence();
        if (autoEnable_) {
            autoButtonSet(pressedButton_);
            invalidate();
        }
        break;
    default: break;
    }
}

// ---- Assistive access -------------------------------------------------------------------

std::string TMediaPlayer::partName(int index) const {
    static constexpr std::array<const char*, buttonCount> names = {
        "Play", "Pause", "Stop", "Next", "Previous", "Step", "Back", "Record", "Eject",
    };
    return names[static_cast<std::size_t>(index)];
}

ui::Rect TMediaPlayer::partRect(int index) const {
    const int x = buttonLeft(static_cast<TMPBtnType>(index));
    if (x < 0) return {};
    return {x, 0, x + buttonWidth_, height()};
}

bool TMediaPlayer::partEnabled(int index) const { return enabled() && buttonLive(static_cast<TMPBtnType>(index)); }

bool TMediaPlayer::partVisible(int index) const { return visibleButtons_.contains(static_cast<TMPBtnType>(index)); }

void TMediaPlayer::pressPart(int index) {
    // A click in the middle of the button: the press and release rules decide the rest.
    const ui::Rect r = partRect(index);
    if (!enabled() || r.width() <= 0) return;
    const ui::Point middle{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    mouseDown(middle);
    mouseUp(middle);
}

// ---- Click sequence -----------------------------------------------------------------------

void TMediaPlayer::click(TMPBtnType button, bool& doDefault) {
    if (onClick) onClick(this, button, doDefault);
}

void TMediaPlayer::postClick(TMPBtnType button) {
    if (onPostClick) onPostClick(this, button);
}

void TMediaPlayer::clickSequence() {
    bool doDefault = true;
    click(pressedButton_, doDefault);
    if (!doDefault) return;
    runCommand(pressedButton_);
    // Next and Previous on a playing disc restart play and report btPlay.
    postClick(pressedButton_);
}

void TMediaPlayer::runCommand(TMPBtnType button) {
    switch (button) {
    case btPlay: play(); break;
    case btPause: pause(); break;
    case btStop: stop(); break;
    case btNext: next(); break;
    case btPrev: previous(); break;
    case btStep: step(); break;
    case btBack: back(); break;
    case btRecord: startRecording(); break;
    case btEject: eject(); break;
    }
}

}  // namespace mci
