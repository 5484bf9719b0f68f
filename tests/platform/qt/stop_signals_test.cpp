// The signals that end the program arrive on the loop as one call each, once; one that
// was ignored stays ignored, and everything is put back afterwards.
#include <QCoreApplication>
#include <QDeadlineTimer>

#include <csignal>
#include <string>

#include "platform/qt/qt_stop_signals.h"
#include "tests/platform/qt/qt_app.h"

namespace {

void (*handlerOf(int signal))(int) {
    struct sigaction now {};
    sigaction(signal, nullptr, &now);
    return now.sa_handler;
}

class StopSignalsTest : public qttest::WithApplication, public ::testing::TestWithParam<int> {};

TEST_P(StopSignalsTest, ASignalRunsTheCallbackOnceFromTheLoopAndTheNextOneIsFatal) {
    int calls = 0;
    {
        qt::StopSignals stop([&calls] { ++calls; });
        std::raise(GetParam());
        EXPECT_EQ(calls, 0);  // not from inside the handler
        const QDeadlineTimer deadline(5000);
        while (calls == 0 && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(handlerOf(GetParam()), SIG_DFL);
    }
    EXPECT_EQ(handlerOf(GetParam()), SIG_DFL);
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignalsTest, ::testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(sigabbrev_np(info.param));
                         });

TEST(StopSignals, AnIgnoredSignalStaysIgnoredAndAnEarlierHandlerComesBack) {
    qttest::application();
    std::signal(SIGINT, SIG_IGN);
    void (*const earlier)(int) = [](int) {};
    std::signal(SIGTERM, earlier);
    {
        qt::StopSignals stop([] {});
        EXPECT_EQ(handlerOf(SIGINT), SIG_IGN);
        EXPECT_NE(handlerOf(SIGTERM), earlier);
    }
    EXPECT_EQ(handlerOf(SIGTERM), earlier);
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

}  // namespace
