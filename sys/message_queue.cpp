#include "sys/message_queue.h"

#include <utility>

namespace sys {

void MessageQueue::post(Task task) {
    std::function<void()> waker;
    {
        std::lock_guard lock(mutex_);
        const bool wasEmpty = tasks_.empty();
        tasks_.push_back(std::move(task));
        if (wasEmpty) waker = waker_;
    }
    if (waker) waker();
}

void MessageQueue::postMessage(WindowHandle target, Message msg) {
    post([this, target, msg] { sendMessage(target, msg); });
}

WindowHandle MessageQueue::registerWindow(MessageReceiver& receiver) {
    const WindowHandle handle = nextHandle_++;
    windows_.emplace(handle, &receiver);
    return handle;
}

void MessageQueue::unregisterWindow(WindowHandle handle) { windows_.erase(handle); }

bool MessageQueue::sendMessage(WindowHandle target, const Message& msg) {
    const auto it = windows_.find(target);
    if (it == windows_.end()) return false;
    it->second->handleMessage(msg);
    return true;
}

std::size_t MessageQueue::drain() {
    std::size_t count;
    {
        std::lock_guard lock(mutex_);
        count = tasks_.size();
    }
    std::size_t ran = 0;
    for (; ran < count; ++ran) {
        Task task;
        {
            std::lock_guard lock(mutex_);
            if (tasks_.empty()) break;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        if (dispatcher_) {
            dispatcher_(task);
        } else {
            task();
        }
    }
    return ran;
}

bool MessageQueue::empty() const {
    std::lock_guard lock(mutex_);
    return tasks_.empty();
}

void MessageQueue::setWaker(std::function<void()> waker) {
    bool pending;
    {
        std::lock_guard lock(mutex_);
        waker_ = waker;
        pending = !tasks_.empty();
    }
    if (pending && waker) waker();
}

void MessageQueue::setDispatcher(std::function<void(const Task&)> dispatcher) { dispatcher_ = std::move(dispatcher); }

}  // namespace sys
