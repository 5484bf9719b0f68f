#include "tests/fakes/virtual_platform.h"

#include <algorithm>

namespace fakes {

namespace {

std::int64_t toMs(const ui::LocalTime& t) {
    using namespace std::chrono;
    const sys_days day = year_month_day{year{t.year}, month{static_cast<unsigned>(t.month)},
                                        std::chrono::day{static_cast<unsigned>(t.day)}};
    return day.time_since_epoch().count() * 86'400'000LL + t.hour * 3'600'000LL + t.minute * 60'000LL +
           t.second * 1000LL + t.millisecond;
}

ui::LocalTime fromMs(std::int64_t ms) {
    using namespace std::chrono;
    const std::int64_t days = ms >= 0 ? ms / 86'400'000 : (ms - 86'399'999) / 86'400'000;
    std::int64_t rest = ms - days * 86'400'000;
    const year_month_day ymd{sys_days{std::chrono::days{days}}};
    ui::LocalTime t;
    t.year = static_cast<int>(ymd.year());
    t.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    t.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
    t.hour = static_cast<int>(rest / 3'600'000);
    rest %= 3'600'000;
    t.minute = static_cast<int>(rest / 60'000);
    rest %= 60'000;
    t.second = static_cast<int>(rest / 1000);
    t.millisecond = static_cast<int>(rest % 1000);
    return t;
}

}  // namespace

VirtualLoop::VirtualLoop(ui::LocalTime start) : startWallMs_(toMs(start)) {}

ui::TimerId VirtualLoop::startTimer(std::chrono::milliseconds period, ui::TimerPhase phase,
                                    std::function<void()> callback) {
    TimerEntry entry{std::max<std::int64_t>(1, period.count()), phase, std::move(callback), 0};
    entry.due = nextDue(entry, nowMs_);
    const ui::TimerId id = nextId_++;
    timers_.emplace(id, std::move(entry));
    return id;
}

void VirtualLoop::stopTimer(ui::TimerId id) { timers_.erase(id); }

std::int64_t VirtualLoop::nextDue(const TimerEntry& t, std::int64_t from) const {
    if (t.phase == ui::TimerPhase::Free) return from + t.period;
    // Just after the next whole second of the wall clock.
    const std::int64_t wall = wallMs(from);
    return (wall / 1000 + 1) * 1000 + alignDelayMs - startWallMs_;
}

void VirtualLoop::advance(std::chrono::milliseconds by) {
    const std::int64_t target = nowMs_ + by.count();
    for (;;) {
        auto earliest = timers_.end();
        for (auto it = timers_.begin(); it != timers_.end(); ++it) {
            if (it->second.due <= target && (earliest == timers_.end() || it->second.due < earliest->second.due)) {
                earliest = it;
            }
        }
        if (earliest == timers_.end()) break;
        nowMs_ = std::max(nowMs_, earliest->second.due);
        // Reschedule before the callback, so a nested advance does not fire this
        // expiry again.
        earliest->second.due = nextDue(earliest->second, nowMs_);
        auto callback = earliest->second.callback;
        callback();
        processPosted();
    }
    nowMs_ = std::max(nowMs_, target);
    processPosted();
}

void VirtualLoop::advanceTo(int hour, int minute, int second, int millisecond) {
    ui::LocalTime t = now();
    const std::int64_t current = wallMs(nowMs_);
    t.hour = hour;
    t.minute = minute;
    t.second = second;
    t.millisecond = millisecond;
    std::int64_t goal = toMs(t);
    if (goal < current) goal += 86'400'000;
    advance(std::chrono::milliseconds(goal - current));
}

void VirtualLoop::processPosted() {
    for (int guard = 0; guard < 10'000 && !queue_.empty(); ++guard) queue_.drain();
}

int VirtualLoop::run() {
    const std::int64_t limit = nowMs_ + 3'600'000;
    while (!quit_ && nowMs_ < limit) {
        processPosted();
        if (quit_) break;
        std::int64_t next = limit;
        for (const auto& [id, t] : timers_) next = std::min(next, t.due);
        if (next >= limit && timers_.empty()) break;
        advance(std::chrono::milliseconds(std::max<std::int64_t>(0, next - nowMs_)));
    }
    return exitCode_;
}

void VirtualLoop::quit(int code) {
    quit_ = true;
    exitCode_ = code;
}

ui::LocalTime VirtualLoop::now() const { return fromMs(wallMs(nowMs_)); }

void ScriptedServices::messageBox(const std::string& text, const std::string& caption, unsigned flags) {
    boxes.push_back({text, caption, flags});
    if (onMessageBox) onMessageBox(BoxRecord(boxes.back()));  // a copy: boxes may grow meanwhile
}

std::optional<std::string> ScriptedServices::openFileDialog(const std::string& filter, const std::string& fileName) {
    dialogs.push_back({filter, fileName});
    if (dialogAnswers.empty()) return std::nullopt;
    auto answer = dialogAnswers.front();
    dialogAnswers.erase(dialogAnswers.begin());
    return answer;
}

}  // namespace fakes
