// The program's message queue: tasks posted from any thread, run in order on the
// user-interface thread, and small "windows" that receive posted messages by handle.
#pragma once

#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <unordered_map>

namespace sys {

using WindowHandle = std::uintptr_t;  // 0 is never a valid handle

struct Message {
    std::uint32_t id = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

// Something that owns a handle and answers messages sent or posted to it.
class MessageReceiver {
public:
    virtual void handleMessage(const Message& msg) = 0;

protected:
    ~MessageReceiver() = default;
};

class MessageQueue {
public:
    using Task = std::function<void()>;

    // Thread-safe. The task runs later on the user-interface thread, in posting order.
    void post(Task task);
    // Thread-safe. An error caught where it cannot be reported (inside a paint or a
    // toolkit callback) reaches the dispatcher, which reports it as any event's error.
    void postError(std::exception_ptr error) {
        post([error] { std::rethrow_exception(error); });
    }
    // Thread-safe. Delivered on the user-interface thread if the window still exists then.
    void postMessage(WindowHandle target, Message msg);

    // User-interface thread only. Handles are never reused, so a message posted to a
    // window that has gone is dropped instead of reaching a newcomer.
    WindowHandle registerWindow(MessageReceiver& receiver);
    void unregisterWindow(WindowHandle handle);
    bool sendMessage(WindowHandle target, const Message& msg);

    // User-interface thread: runs the tasks that were queued when it was called (tasks
    // posted meanwhile wait for the next call) and returns how many ran. Each task runs
    // through the dispatcher, which catches what escapes it.
    std::size_t drain();
    bool empty() const;

    // Called (from any thread, without the lock held) whenever the queue goes from
    // empty to non-empty, so the platform loop can wake up and drain it.
    void setWaker(std::function<void()> waker);
    void setDispatcher(std::function<void(const Task&)> dispatcher);

private:
    mutable std::mutex mutex_;
    std::deque<Task> tasks_;
    std::function<void()> waker_;
    std::function<void(const Task&)> dispatcher_;
    std::unordered_map<WindowHandle, MessageReceiver*> windows_;
    WindowHandle nextHandle_ = 1;
};

}  // namespace sys
