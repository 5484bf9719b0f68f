// The message queue: tasks in order, waking the loop, and messages to windows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sys/message_queue.h"

namespace {

using Texts = std::vector<std::string>;

// Tasks run in order, each drain only those queued when it began; the loop is woken when
// the queue stops being empty. A window's handle is not reused, messages to it are dropped.
TEST(MessageQueueTest, OrderWakingAndWindowsThatHaveGone) {
    sys::MessageQueue queue;
    int wakes = 0;
    queue.setWaker([&] { ++wakes; });
    Texts ran;
    queue.post([&] {
        ran.push_back("1");
        queue.post([&] { ran.push_back("3"); });
    });
    queue.post([&] { ran.push_back("2"); });
    EXPECT_EQ(queue.drain(), 2u);
    struct Window : sys::MessageReceiver {
        Texts& ran;
        explicit Window(Texts& r) : ran(r) {}
        void handleMessage(const sys::Message& m) override { ran.push_back("message " + std::to_string(m.id)); }
    } first{ran}, second{ran};
    const auto gone = queue.registerWindow(first);
    queue.postMessage(gone, {4, 0, 0});
    queue.unregisterWindow(gone);
    const auto handle = queue.registerWindow(second);
    queue.postMessage(handle, {5, 0, 0});
    queue.drain();
    EXPECT_EQ(ran, (Texts{"1", "2", "3", "message 5"}));
    EXPECT_EQ(wakes, 1);
}

}  // namespace
