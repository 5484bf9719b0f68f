// The default output through the sound server's client library. Each call opens a
// connection of its own on a private main loop, runs that loop right here until the
// answers are in or the call's time is up, and closes it again: nothing keeps running
// between alarms, and a server that hangs costs the alarm two seconds, never the window.
#include <pulse/pulseaudio.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <optional>

#include "platform/volume/output_volume.h"

namespace volume {
namespace {

using Clock = std::chrono::steady_clock;

// For everything one call does, connecting included.
constexpr auto kCallTime = std::chrono::seconds(2);

// The server's volumes are on the same cubic scale as the desktop's volume control.
constexpr pa_volume_t kFloor = PA_VOLUME_NORM * kAudibleFloorPercent / 100;

struct SinkState {
    bool mute = false;
    pa_cvolume volume{};
};

int percentOf(pa_volume_t v) { return static_cast<int>(std::lround(static_cast<double>(v) * 100.0 / PA_VOLUME_NORM)); }

// One connection to the server, for the length of one call.
class Connection {
public:
    Connection(const std::string& server, Clock::time_point deadline) : deadline_(deadline), loop_(pa_mainloop_new()) {
        if (loop_ == nullptr) {
            failure_ = "the sound server's client library could not start";
            return;
        }
        context_ = pa_context_new(pa_mainloop_get_api(loop_), "Tolvane");
        // No autospawn: an alarm must not start a sound server of its own.
        if (context_ == nullptr || pa_context_connect(context_, server.empty() ? nullptr : server.c_str(),
                                                      PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            failure_ = "no sound server answered";
            return;
        }
        const bool settled = run([this] {
            const pa_context_state_t state = pa_context_get_state(context_);
            return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
        });
        if (!settled)
            failure_ = "the sound server did not answer in time";
        else if (pa_context_get_state(context_) != PA_CONTEXT_READY)
            failure_ = "no sound server answered";
    }

    ~Connection() {
        if (context_ != nullptr) {
            pa_context_disconnect(context_);
            pa_context_unref(context_);
        }
        if (loop_ != nullptr) pa_mainloop_free(loop_);
    }

    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Empty once connected; otherwise why not.
    const std::string& failure() const { return failure_; }

    // The name of the server's default sink; empty, with `error` set, when there is none
    // or the server did not say.
    std::string defaultSink(std::string& error) {
        std::string name;
        const auto got = [](pa_context*, const pa_server_info* info, void* data) {
            if (info != nullptr && info->default_sink_name != nullptr)
                *static_cast<std::string*>(data) = info->default_sink_name;
        };
        if (!finish(pa_context_get_server_info(context_, got, &name)))
            error = "the sound server did not say which output is in use" + reason();
        else if (name.empty())
            error = "the sound server has no sound output";
        return name;
    }

    std::optional<SinkState> sink(const std::string& name, std::string& error) {
        std::optional<SinkState> state;
        const auto got = [](pa_context*, const pa_sink_info* info, int, void* data) {
            if (info != nullptr)
                *static_cast<std::optional<SinkState>*>(data) = SinkState{info->mute != 0, info->volume};
        };
        const bool done = finish(pa_context_get_sink_info_by_name(context_, name.c_str(), got, &state));
        if (!done || !state)
            error = pa_context_errno(context_) == PA_ERR_NOENTITY
                        ? "the sound output " + name + " is gone"
                        : "the sound server did not tell the volume" + reason();
        return state;
    }

    bool setVolume(const std::string& name, const pa_cvolume& volume) {
        int succeeded = 0;
        return finish(pa_context_set_sink_volume_by_name(context_, name.c_str(), &volume, noteSuccess, &succeeded)) &&
               succeeded != 0;
    }

    bool setMute(const std::string& name, bool mute) {
        int succeeded = 0;
        return finish(
                   pa_context_set_sink_mute_by_name(context_, name.c_str(), mute ? 1 : 0, noteSuccess, &succeeded)) &&
               succeeded != 0;
    }

    // ": <the server's reason>" for the last request that failed.
    std::string reason() const {
        const int error = pa_context_errno(context_);
        if (error == PA_OK) return ": it did not answer in time";
        return std::string(": ") + pa_strerror(error);
    }

private:
    static void noteSuccess(pa_context*, int success, void* data) { *static_cast<int*>(data) = success; }

    // Runs the loop until `done` holds (true), the time is up or the loop fails (false).
    bool run(const std::function<bool()>& done) {
        while (!done()) {
            const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline_ - Clock::now()).count();
            if (left <= 0) return false;
            if (pa_mainloop_prepare(loop_, static_cast<int>(left)) < 0 || pa_mainloop_poll(loop_) < 0 ||
                pa_mainloop_dispatch(loop_) < 0)
                return false;
        }
        return true;
    }

    // Waits for a request's answer; one still out when the time is up is cancelled, so
    // that its callback cannot reach the caller's variables afterwards.
    bool finish(pa_operation* op) {
        if (op == nullptr) return false;
        const bool answered = run([op] { return pa_operation_get_state(op) != PA_OPERATION_RUNNING; });
        const bool done = answered && pa_operation_get_state(op) == PA_OPERATION_DONE;
        if (!answered) pa_operation_cancel(op);
        pa_operation_unref(op);
        return done;
    }

    Clock::time_point deadline_;
    pa_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    std::string failure_;
};

class PulseOutputVolume final : public sys::OutputVolume {
public:
    explicit PulseOutputVolume(std::string server) : server_(std::move(server)) {}
    // An alarm cut short by the program's end still gives the output back.
    ~PulseOutputVolume() override { restore(); }

    Change makeAudible() override {
        Change change;
        Connection c(server_, Clock::now() + kCallTime);
        if (!c.failure().empty()) return {{}, c.failure()};
        const std::string name = c.defaultSink(change.problem);
        if (name.empty()) return change;
        const std::optional<SinkState> before = c.sink(name, change.problem);
        if (!before) return change;

        const bool lift = pa_cvolume_max(&before->volume) < kFloor;
        if (!before->mute && !lift) return change;  // audible as it is
        if (lift && !pa_cvolume_valid(&before->volume)) return {{}, "the sound server gave no volume for " + name};

        Memory memory{name, *before, *before, false, false};
        if (lift) {
            pa_cvolume raised = before->volume;
            pa_cvolume_set(&raised, raised.channels, kFloor);
            if (!c.setVolume(name, raised)) return {{}, refused(c)};
            memory.volumeChanged = true;
            memory.set.volume = raised;
        }
        // Unmuted after the volume is up, so that the low volume is never heard.
        if (before->mute) {
            if (c.setMute(name, false)) {
                memory.muteChanged = true;
                memory.set.mute = false;
            } else {
                change.problem = refused(c);
            }
        }
        // What the server holds now is what restore() will look for.
        std::string ignored;
        if (const auto now = c.sink(name, ignored)) memory.set = *now;
        if (memory.volumeChanged || memory.muteChanged) memory_ = memory;
        if (change.problem.empty())
            change.raisedFrom = describeRaise(before->mute, lift ? percentOf(pa_cvolume_max(&before->volume)) : -1);
        return change;
    }

    void restore() override {
        if (!memory_) return;
        const Memory memory = *memory_;
        memory_.reset();
        Connection c(server_, Clock::now() + kCallTime);
        if (!c.failure().empty()) return;
        std::string ignored;
        const std::optional<SinkState> now = c.sink(memory.sink, ignored);
        // Changed since by the user (or gone): theirs now, left as it is.
        if (!now || now->mute != memory.set.mute || !pa_cvolume_equal(&now->volume, &memory.set.volume)) return;
        // Muted before the volume goes down, so that no step of it is heard.
        if (memory.muteChanged) c.setMute(memory.sink, memory.before.mute);
        if (memory.volumeChanged) c.setVolume(memory.sink, memory.before.volume);
    }

private:
    struct Memory {
        std::string sink;
        SinkState before;
        SinkState set;
        bool volumeChanged = false;
        bool muteChanged = false;
    };

    static std::string refused(const Connection& c) {
        return "the sound server did not allow the output to be changed" + c.reason();
    }

    std::string server_;
    // What the last makeAudible() that changed anything changed. A later call that finds
    // the output audible (our own doing) keeps it, so restore() still gives it back.
    std::optional<Memory> memory_;
};

}  // namespace

std::unique_ptr<sys::OutputVolume> createOutputVolume(const std::string& server) {
    return std::make_unique<PulseOutputVolume>(server);
}

}  // namespace volume
