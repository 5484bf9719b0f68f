#include "tests/fakes/virtual_platform.h"

#include <algorithm>

namespace fakes {

namespace {
constexpr std::int64_t dayMs = 86'400'000;
}  // namespace

sys::TimerId VirtualLoop::startTimer(std::chrono::milliseconds period, sys::TimerPhase phase,
                                    std::function<void()> callback) {
    TimerEntry entry{std::max<std::int64_t>(1, period.count()), phase, std::move(callback), 0};
    entry.due = nextDue(entry);
    timers_.emplace(nextId_, std::move(entry));
    return nextId_++;
}

std::int64_t VirtualLoop::wallMs() const {
    return ((start_.hour * 60 + start_.minute) * 60 + start_.second) * 1000LL + start_.millisecond + nowMs_ +
           clockShiftMs_ + zoneShiftMinutes_ * 60'000LL;
}

std::int64_t VirtualLoop::nextDue(const TimerEntry& t) const {
    if (t.phase == sys::TimerPhase::Free) return nowMs_ + t.period;
    return nowMs_ + 1000 - (wallMs() % 1000 + 1000) % 1000 + 2;
}

void VirtualLoop::advance(std::chrono::milliseconds by) {
    const std::int64_t target = nowMs_ + by.count();
    for (;;) {
        auto next = std::min_element(timers_.begin(), timers_.end(),
                                     [](const auto& a, const auto& b) { return a.second.due < b.second.due; });
        if (next == timers_.end() || next->second.due > target) break;
        nowMs_ = std::max(nowMs_, next->second.due);
        // Rescheduled first, so that a nested advance does not fire this expiry again.
        next->second.due = nextDue(next->second);
        auto callback = next->second.callback;
        callback();
        processPosted();
    }
    nowMs_ = std::max(nowMs_, target);
    processPosted();
}

void VirtualLoop::advanceTo(int hour, int minute, int second, int millisecond) {
    const std::int64_t goal = ((hour * 60 + minute) * 60 + second) * 1000LL + millisecond;
    advance(std::chrono::milliseconds(((goal - wallMs()) % dayMs + dayMs) % dayMs));
}

void VirtualLoop::processPosted() {
    for (int guard = 0; guard < 10'000 && !queue_.empty(); ++guard) queue_.drain();
}

int VirtualLoop::run() {
    for (int second = 0; second < 3600 && !quit_; ++second) advance(std::chrono::seconds(1));
    return exitCode_;
}

void VirtualLoop::quit(int code) {
    quit_ = true;
    exitCode_ = code;
}

sys::LocalTime VirtualLoop::now() const {
    const std::int64_t wall = wallMs();
    const std::int64_t days = wall >= 0 ? wall / dayMs : (wall - dayMs + 1) / dayMs;
    const std::int64_t ms = wall - days * dayMs;
    sys::LocalTime t = sys::civilFromDays(sys::daysFromCivil(start_.year, start_.month, start_.day) + days);
    t.utcOffsetMinutes = start_.utcOffsetMinutes + zoneShiftMinutes_;
    t.hour = static_cast<int>(ms / 3'600'000);
    t.minute = static_cast<int>(ms / 60'000 % 60);
    t.second = static_cast<int>(ms / 1000 % 60);
    t.millisecond = static_cast<int>(ms % 1000);
    return t;
}

void ScriptedServices::messageBox(const std::string& text, const std::string& caption, unsigned flags) {
    boxes.push_back({text, caption, flags});
    if (onMessageBox) onMessageBox(BoxRecord(boxes.back()));  // a copy: boxes may grow meanwhile
}

std::optional<std::string> ScriptedServices::openFileDialog(const std::string& filter, const std::string& fileName) {
    dialogs.push_back(filter + " " + fileName);
    if (dialogAnswers.empty()) return std::nullopt;
    auto answer = dialogAnswers.front();
    dialogAnswers.erase(dialogAnswers.begin());
    return answer;
}

}  // namespace fakes
