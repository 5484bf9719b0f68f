#include "platform/win32/win32_event_loop.h"

#include <windows.h>

#include <algorithm>
#include <exception>
#include <map>
#include <utility>
#include <vector>

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace win32 {

using std::chrono::milliseconds;

namespace {

constexpr UINT kWakeMessage = WM_APP + 0x100;
// The window timer that looks at the wall-clock timers while a modal loop runs; the
// program's own window timers count up from 1 and never reach it.
constexpr UINT_PTR kModalPollTimer = 0x7FFF0000;
// How long after each whole second a wall-clock timer fires, in 100 ns units: late
// enough that the clock reads the new second, early enough to look instant.
constexpr std::uint64_t kWallClockOffset = 5'000;
constexpr std::uint64_t kUnitsPerSecond = 10'000'000;
constexpr wchar_t kWindowClass[] = L"TolvaneMessageLoop";

std::uint64_t systemTimeNow() {
    FILETIME now{};
    GetSystemTimePreciseAsFileTime(&now);
    return (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

HANDLE createWallClockTimer() {
    HANDLE timer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
    if (timer == nullptr) timer = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
    return timer;
}

}  // namespace

struct Win32EventLoop::Impl {
    struct Timer {
        std::shared_ptr<std::function<void()>> callback;
        milliseconds period{1000};
        // Wall-clock timers: a waitable timer and its next due time (system time).
        // Without one (free timers, or no waitable timer to be had) a window timer.
        HANDLE waitable = nullptr;
        std::uint64_t due = 0;

        ~Timer() {
            if (waitable != nullptr) CloseHandle(waitable);
        }
    };

    Impl() {
        WNDCLASSEXW cls{};
        cls.cbSize = sizeof cls;
        cls.lpfnWndProc = &Impl::windowProc;
        cls.hInstance = GetModuleHandleW(nullptr);
        cls.lpszClassName = kWindowClass;
        RegisterClassExW(&cls);  // fails harmlessly when an earlier loop registered it
        // Wake-ups and window timers go to a message-only window, which needs no display.
        window = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, cls.hInstance, this);
        // Only top-level windows hear of a change of the system time and of a resume:
        // a hidden one listens for those.
        listener = CreateWindowExW(WS_EX_TOOLWINDOW, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                   cls.hInstance, this);
    }

    ~Impl() {
        if (listener != nullptr) DestroyWindow(listener);
        if (window != nullptr) DestroyWindow(window);
    }

    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<Impl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self != nullptr) {
            switch (message) {
            case kWakeMessage: self->drain(); return 0;
            case WM_TIMER:
                if (wParam == kModalPollTimer)
                    self->pollWallClock();
                else
                    self->fireFree(static_cast<sys::TimerId>(wParam));
                return 0;
            case WM_TIMECHANGE:
                self->realign();
                if (self->clockChanged) self->clockChanged();
                return 0;
            case WM_POWERBROADCAST:
                if (wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND) self->realign();
                return TRUE;
            default: break;
            }
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

    void wake() { PostMessageW(window, kWakeMessage, 0, 0); }

    // Nothing may unwind through the system's window procedure: what the queue lets
    // escape (it has no dispatcher) is thrown again once the message is dispatched.
    void drain() {
        try {
            queue.drain();
        } catch (...) {
            if (!escaped) escaped = std::current_exception();
        }
        // Tasks posted while it ran wait for one more pass.
        if (!queue.empty()) wake();
    }

    void rethrowEscaped() {
        if (escaped) std::rethrow_exception(std::exchange(escaped, nullptr));
    }

    bool arm(Timer& t) {
        const std::uint64_t period = std::max<std::uint64_t>(1, t.period.count() / 1000) * kUnitsPerSecond;
        t.due = (systemTimeNow() / period + 1) * period + kWallClockOffset;
        LARGE_INTEGER due{};
        due.QuadPart = static_cast<LONGLONG>(t.due);  // positive: an absolute time
        return SetWaitableTimer(t.waitable, &due, 0, nullptr, nullptr, FALSE) != 0;
    }

    // A wall-clock timer expired: armed again before its callback runs, so a modal box
    // opened by the callback does not hold back the next expiry.
    void fireWallClock(sys::TimerId id) {
        const auto it = timers.find(id);
        if (it == timers.end()) return;
        arm(*it->second);
        run(*it->second);
    }

    void fireFree(sys::TimerId id) {
        const auto it = timers.find(id);
        if (it != timers.end()) run(*it->second);
    }

    void run(Timer& t) {
        const std::shared_ptr<std::function<void()>> callback = t.callback;
        try {
            (*callback)();
        } catch (...) {
            queue.postError(std::current_exception());
        }
    }

    std::vector<sys::TimerId> wallClockTimers() const {
        std::vector<sys::TimerId> ids;
        for (const auto& [id, t] : timers)
            if (t->waitable != nullptr) ids.push_back(id);
        return ids;
    }

    // The time was set or the computer woke up: every wall-clock timer shows it now.
    void realign() {
        for (const sys::TimerId id : wallClockTimers()) fireWallClock(id);
        schedulePoll();
    }

    // While a modal loop runs, a window timer comes round when the next wall-clock
    // timer is due and runs the ones that have expired.
    void schedulePoll() {
        std::uint64_t next = UINT64_MAX;
        for (const auto& [id, t] : timers)
            if (t->waitable != nullptr) next = std::min(next, t->due);
        if (modalDepth == 0 || next == UINT64_MAX) {
            KillTimer(window, kModalPollTimer);
            return;
        }
        const std::uint64_t now = systemTimeNow();
        const std::uint64_t wait = next > now ? (next - now + 9'999) / 10'000 : 0;
        SetTimer(window, kModalPollTimer, static_cast<UINT>(std::max<std::uint64_t>(wait, USER_TIMER_MINIMUM)),
                 nullptr);
    }

    void pollWallClock() {
        for (const sys::TimerId id : wallClockTimers()) {
            const auto it = timers.find(id);
            if (it != timers.end() && WaitForSingleObject(it->second->waitable, 0) == WAIT_OBJECT_0) fireWallClock(id);
        }
        schedulePoll();
    }

    sys::MessageQueue queue;
    HWND window = nullptr;
    HWND listener = nullptr;
    std::function<void()> clockChanged;
    std::map<sys::TimerId, std::unique_ptr<Timer>> timers;
    sys::TimerId nextId = 1;
    int modalDepth = 0;
    bool running = false;
    bool quitPending = false;
    int quitCode = 0;
    std::uint64_t wakeUps = 0;
    std::exception_ptr escaped;
};

Win32EventLoop::Win32EventLoop() : impl_(std::make_unique<Impl>()) {
    impl_->queue.setWaker([impl = impl_.get()] { impl->wake(); });
}

Win32EventLoop::~Win32EventLoop() { impl_->queue.setWaker(nullptr); }

sys::MessageQueue& Win32EventLoop::queue() { return impl_->queue; }

sys::TimerId Win32EventLoop::startTimer(milliseconds period, sys::TimerPhase phase, std::function<void()> callback) {
    const sys::TimerId id = impl_->nextId++;
    auto t = std::make_unique<Impl::Timer>();
    t->period = std::max(period, milliseconds(1));
    t->callback = std::make_shared<std::function<void()>>(std::move(callback));
    // The loop waits on at most this many handles at once.
    const bool roomToWait = impl_->wallClockTimers().size() < MAXIMUM_WAIT_OBJECTS - 1;
    if (phase == sys::TimerPhase::WallClockSecond && roomToWait) {
        t->waitable = createWallClockTimer();
        if (t->waitable != nullptr && !impl_->arm(*t)) {
            CloseHandle(t->waitable);
            t->waitable = nullptr;
        }
    }
    // Otherwise a window timer, which still ticks every period, only out of phase.
    if (t->waitable == nullptr) {
        SetTimer(
            impl_->window, static_cast<UINT_PTR>(id),
            static_cast<UINT>(std::clamp<milliseconds::rep>(t->period.count(), USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM)),
            nullptr);
    }
    impl_->timers.emplace(id, std::move(t));
    impl_->schedulePoll();
    return id;
}

void Win32EventLoop::stopTimer(sys::TimerId id) {
    const auto it = impl_->timers.find(id);
    if (it == impl_->timers.end()) return;
    if (it->second->waitable == nullptr) KillTimer(impl_->window, static_cast<UINT_PTR>(id));
    impl_->timers.erase(it);
    impl_->schedulePoll();
}

int Win32EventLoop::run() {
    if (impl_->quitPending) {
        impl_->quitPending = false;
        return impl_->quitCode;
    }
    impl_->running = true;
    struct NotRunning {
        Impl& impl;
        ~NotRunning() {
            impl.running = false;
            impl.quitPending = false;
        }
    } notRunning{*impl_};
    std::vector<HANDLE> handles;
    std::vector<sys::TimerId> ids;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) return static_cast<int>(msg.wParam);
            if (!(preTranslate && preTranslate(&msg))) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            impl_->rethrowEscaped();
        }
        ids = impl_->wallClockTimers();
        handles.clear();
        for (const sys::TimerId id : ids) handles.push_back(impl_->timers.at(id)->waitable);
        // Alertable, so that the wake-up timer's due routine runs here as well.
        const DWORD woke = MsgWaitForMultipleObjectsEx(static_cast<DWORD>(handles.size()), handles.data(), INFINITE,
                                                       QS_ALLINPUT, MWMO_INPUTAVAILABLE | MWMO_ALERTABLE);
        ++impl_->wakeUps;
        if (woke >= WAIT_OBJECT_0 && woke < WAIT_OBJECT_0 + handles.size()) {
            impl_->fireWallClock(ids[woke - WAIT_OBJECT_0]);
        } else if (woke == WAIT_FAILED) {
            // A handle went bad under us: do not spin on it.
            Sleep(1);
        }
    }
}

void Win32EventLoop::quit(int code) {
    impl_->quitPending = true;
    impl_->quitCode = code;
    // Outside run() there is nothing to end; a quit message now would end the next
    // modal box at once instead.
    if (impl_->running) PostQuitMessage(code);
}

void Win32EventLoop::setClockChanged(std::function<void()> changed) { impl_->clockChanged = std::move(changed); }

void Win32EventLoop::modalLoop(bool entering) {
    impl_->modalDepth = std::max(0, impl_->modalDepth + (entering ? 1 : -1));
    impl_->schedulePoll();
}

std::uint64_t Win32EventLoop::wakeUps() const { return impl_->wakeUps; }

}  // namespace win32
