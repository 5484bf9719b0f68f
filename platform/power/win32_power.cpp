#include "platform/power/win32_power.h"

#include <windows.h>

#include <chrono>
#include <utility>

#include "platform/locale/win32_locale.h"

namespace power {
namespace {

void CALLBACK timerCameDue(LPVOID control, DWORD, DWORD) { static_cast<PowerControl*>(control)->dueAgain(); }

}  // namespace

PowerControl::~PowerControl() {
    if (timer_ != nullptr) CloseHandle(timer_);
}

void PowerControl::keepAwake(bool on) {
    SetThreadExecutionState(on ? ES_CONTINUOUS | ES_SYSTEM_REQUIRED : ES_CONTINUOUS);
}

void PowerControl::wakeAt(const std::optional<sys::LocalTime>& when) {
    if (!when) {
        if (timer_ != nullptr) CancelWaitableTimer(timer_);
        return;
    }
    if (timer_ == nullptr) timer_ = CreateWaitableTimerW(nullptr, FALSE, nullptr);
    if (timer_ == nullptr) return;
    SYSTEMTIME local{};
    local.wYear = static_cast<WORD>(when->year);
    local.wMonth = static_cast<WORD>(when->month);
    local.wDay = static_cast<WORD>(when->day);
    local.wHour = static_cast<WORD>(when->hour);
    local.wMinute = static_cast<WORD>(when->minute);
    SYSTEMTIME utc{};
    FILETIME due{};
    if (!TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) || !SystemTimeToFileTime(&utc, &due)) return;
    LARGE_INTEGER dueTime{};
    dueTime.LowPart = due.dwLowDateTime;
    dueTime.HighPart = static_cast<LONG>(due.dwHighDateTime);
    daily_ = {when->hour, when->minute};
    // The daily period stands in until the timer is set again at its due time.
    constexpr LONG day = 24 * 60 * 60 * 1000;
    // fResume: the machine wakes from sleep for it. Where that is refused (no wake
    // support), the timer still runs, and the idle hold does the rest.
    if (!SetWaitableTimer(timer_, &dueTime, day, timerCameDue, this, TRUE))
        SetWaitableTimer(timer_, &dueTime, day, timerCameDue, this, FALSE);
}

void PowerControl::dueAgain() { wakeAt(nextOccurrence(now(), daily_)); }

sys::LocalTime PowerControl::now() { return locale::Win32Clock().now(); }

sys::LocalTime nextOccurrence(const sys::LocalTime& now, sys::WakeTime at) {
    using namespace std::chrono;
    sys_days date = year{now.year} / month{static_cast<unsigned>(now.month)} / day{static_cast<unsigned>(now.day)};
    if (at.hour < now.hour || (at.hour == now.hour && at.minute <= now.minute)) date += days{1};
    const year_month_day ymd{date};
    sys::LocalTime out;
    out.year = static_cast<int>(ymd.year());
    out.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    out.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
    out.hour = at.hour;
    out.minute = at.minute;
    return out;
}

namespace {

class Win32SleepInhibitor final : public sys::SleepInhibitor {
public:
    explicit Win32SleepInhibitor(std::unique_ptr<PowerControl> control) : control_(std::move(control)) {}
    ~Win32SleepInhibitor() override { release(); }

    void inhibit(const std::string& /*reason*/, sys::WakeTime at) override {
        if (!held_) control_->keepAwake(true);
        held_ = true;
        const bool valid = at.hour >= 0 && at.hour < 24 && at.minute >= 0 && at.minute < 60;
        if (valid && wakeAt_ == at) return;
        wakeAt_ = valid ? std::optional(at) : std::nullopt;
        control_->wakeAt(valid ? std::optional(nextOccurrence(control_->now(), at)) : std::nullopt);
    }

    // The timer is due at a moment of the old clock; the alarm's minute is one of the
    // local clock as it reads now.
    void clockChanged() override {
        if (held_ && wakeAt_) control_->wakeAt(nextOccurrence(control_->now(), *wakeAt_));
    }

    void release() override {
        if (!held_) return;
        held_ = false;
        wakeAt_.reset();
        control_->wakeAt(std::nullopt);
        control_->keepAwake(false);
    }

private:
    std::unique_ptr<PowerControl> control_;
    bool held_ = false;
    std::optional<sys::WakeTime> wakeAt_;
};

}  // namespace

std::unique_ptr<sys::SleepInhibitor> createSleepInhibitor(std::unique_ptr<PowerControl> control) {
    return std::make_unique<Win32SleepInhibitor>(std::move(control));
}

}  // namespace power
