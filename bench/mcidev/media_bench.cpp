// Media device benchmarks. Prints `name: value unit` lines.
//
//  - start latency: from the play request to the first sound at the output, for a wave
//    file, a CD image and a MIDI file (and how much of the MIDI figure is its organ's
//    attack). Measured at a private PulseAudio null sink: its
//    monitor is read through parec in small pieces, and the arrival time of the first
//    loud sample is taken as the time it left the sink (so the figure includes the
//    monitor's own delivery delay and is an upper bound).
//  - fallback latency: a wave file emptied after Open fails its play, and the alarm's
//    own tone is started at once, as the alarm minute does. Timed from the play request
//    to the first loud frame the tone hands to the output (through SDL, whichever
//    driver runs), and, where the sink runs, to the first loud sample at the sink.
//  - restarts: a short sound started 60 times in a row (as the alarm minute does, but
//    back to back): threads, file descriptors and resident memory before and after.
//  - idle: threads and thread wake-ups of the process once playing has stopped.
//
// Without pulseaudio, parec or sox the latency part is skipped and the rest runs on
// SDL's dummy output.
#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/support/sink_probe.h"
#include "platform/mcidev/alarm_tone.h"
#include "platform/mcidev/device_manager.h"
#include "platform/mcidev/midi/midi_source.h"
#include "tests/platform/mcidev/media_fixture.h"
#include "tests/platform/mcidev/midi/smf_writer.h"
#include "tests/support/cd_image_writer.h"

namespace {

using namespace mci;
using namespace mcitest;
using namespace std::chrono_literals;
using bench::ChildProcess, bench::Clock, bench::LoudnessProbe, bench::WatchedOutput, bench::millisecondsBetween;

int countEntries(const char* dir) {
    int n = 0;
    if (DIR* d = ::opendir(dir)) {
        while (const dirent* e = ::readdir(d))
            if (e->d_name[0] != '.') ++n;
        ::closedir(d);
    }
    return n;
}

long residentKiB() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

// Context switches of every thread but the calling one.
long otherThreadSwitches() {
    long total = 0;
    const std::string self = std::to_string(::gettid());
    if (DIR* d = ::opendir("/proc/self/task")) {
        while (const dirent* e = ::readdir(d)) {
            if (e->d_name[0] == '.' || self == e->d_name) continue;
            std::ifstream status(std::string("/proc/self/task/") + e->d_name + "/status");
            std::string line;
            while (std::getline(status, line)) {
                long v = 0;
                if (std::sscanf(line.c_str(), "voluntary_ctxt_switches: %ld", &v) == 1 ||
                    std::sscanf(line.c_str(), "nonvoluntary_ctxt_switches: %ld", &v) == 1)
                    total += v;
            }
        }
        ::closedir(d);
    }
    return total;
}

// How far into the song its sound first passes the loudness the probe listens for (1% of
// full scale), rendered offline: the part of the MIDI start latency that is the
// instrument's own attack rather than the program's delay.
void printMidiAttack(const std::string& path) {
    mcidev::midi::SoundFontCache fonts;
    mcidev::midi::MidiError error;
    const auto song = mcidev::midi::MidiSource::open(path, fonts, error);
    if (!song) return;
    std::vector<std::int16_t> samples(song->lengthFrames() * 2);
    const std::size_t frames = song->read(samples.data(), song->lengthFrames());
    const auto loud = std::find_if(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(frames * 2),
                                   [](std::int16_t v) { return std::abs(v) > 330; });
    std::printf("midi_sound_attack: %.1f ms\n",
                static_cast<double>(loud - samples.begin()) / 2 * 1000.0 / song->sampleRate());
}

struct Medium {
    std::string name;
    const char* type;
    std::string element;
    DWORD timeFormat;
    DWORD from;
};

// The latency the sink reports while something plays: "Latency: N usec, configured M usec".
void printSinkLatency() {
    FILE* pipe = ::popen("pactl list sinks 2>/dev/null", "r");
    if (pipe == nullptr) return;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        long now = 0, configured = 0;
        if (std::sscanf(line, " Latency: %ld usec, configured %ld usec", &now, &configured) == 2) {
            std::printf("sink_reported_latency: %.1f ms\n", static_cast<double>(now) / 1000.0);
            std::printf("sink_configured_latency: %.1f ms\n", static_cast<double>(configured) / 1000.0);
            break;
        }
    }
    ::pclose(pipe);
}

void measureStartLatency(sys::MessageQueue& queue, const TempFolder& folder) {
    const cdtest::WrittenImage image =
        cdtest::writeImage(folder / "cd", {cdtest::TrackPlan{.sectors = 150, .kind = cdtest::SampleKind::Tone}});
    mcidev::DeviceOptions options;
    options.cdImage = image.cue.string();
    auto devices = mcidev::createDeviceManager(queue, options);
    Commands cmd(*devices);

    const auto wave = writeWave(folder / "tone.wav", {.frames = 88200});
    midi_test::Track t;
    t.tempo(0, 500000).program(0, 0, 19).noteOn(0, 0, 60, 127).noteOn(0, 0, 67, 127);
    t.noteOff(1920, 0, 60).noteOff(0, 0, 67).end();
    writeFile(folder / "organ.mid", midi_test::smf(0, 480, {t}));
    // On a thread of its own, as the device opens its songs: the helper threads the
    // synthesizer library gives a thread that loads a font would stay and be counted.
    std::thread([&] { printMidiAttack((folder / "organ.mid").string()); }).join();

    const std::vector<Medium> media{
        {"wav", nullptr, wave.string(), MCI_FORMAT_MILLISECONDS, 0},
        {"cd_image", "CDAudio", "", MCI_FORMAT_TMSF, MCI_MAKE_TMSF(1, 0, 0, 0)},
        {"midi", nullptr, (folder / "organ.mid").string(), MCI_FORMAT_MILLISECONDS, 0},
    };

    LoudnessProbe probe;
    if (!probe.start()) {
        std::printf("start_latency_skipped: 1 flag\n");
        return;
    }
    NoticeWindow window(queue);
    for (const Medium& m : media) {
        MCIDEVICEID id = 0;
        if (cmd.open(m.type, m.element, id) != 0) {
            std::printf("%s_start_latency_skipped: 1 flag\n", m.name.c_str());
            continue;
        }
        cmd.setTimeFormat(id, m.timeFormat);
        std::vector<double> samples;
        int misses = 0;
        for (int i = 0; i < 41; ++i) {
            probe.arm();
            const auto requested = Clock::now();
            if (cmd.play(id, window.handle(), MCI_NOTIFY | MCI_FROM, m.from) != 0) break;
            Clock::time_point heard;
            const bool ok = probe.waitHeard(3s, heard);
            cmd.simple(id, MCI_STOP);
            drainFor(queue, 150ms);  // let the sink fall silent again
            if (i == 0) continue;    // the first run also wakes the sink up
            if (!ok) {
                ++misses;
                continue;
            }
            samples.push_back(millisecondsBetween(requested, heard));
        }
        if (m.name == "wav" && cmd.play(id, 0, MCI_FROM, m.from) == 0) {
            std::this_thread::sleep_for(300ms);
            printSinkLatency();
            cmd.simple(id, MCI_STOP);
        }
        cmd.close(id);
        bench::printLatency(m.name + "_start_latency", samples);
        if (misses > 0) std::printf("%s_start_latency_misses: %d runs\n", m.name.c_str(), misses);
    }
    drainFor(queue, 50ms);
    probe.stop();
}

void measureFallbackLatency(bool sinkRuns, sys::MessageQueue& queue, const TempFolder& folder) {
    const auto output = std::make_shared<WatchedOutput>();
    mcidev::DeviceOptions options;
    options.output = output;
    auto devices = mcidev::createDeviceManager(queue, options);
    const auto tone = mcidev::makeAlarmTone(output);
    Commands cmd(*devices);
    LoudnessProbe probe;
    const bool probing = sinkRuns && probe.start();
    std::vector<double> handed, heard;
    int failures = 0;
    for (int i = 0; i < 11; ++i) {
        const auto file = writeWave(folder / ("fallback" + std::to_string(i) + ".wav"), {.frames = 44100});
        MCIDEVICEID id = 0;
        if (cmd.open(nullptr, file.string(), id) != 0) {
            ++failures;
            continue;
        }
        std::filesystem::resize_file(file, 0);
        output->arm();
        if (probing) probe.arm();
        const auto requested = Clock::now();
        const bool fellBack = cmd.play(id, 0, MCI_NOTIFY) != 0 && tone->start().empty();
        Clock::time_point loud, sounded;
        const bool wasHanded = fellBack && output->waitLoud(2s, loud);
        const bool wasHeard = probing && fellBack && probe.waitHeard(3s, sounded);
        tone->stop();
        cmd.close(id);
        drainFor(queue, 150ms);  // silence again before the next run
        if (i == 0) continue;    // the first run also loads the output and wakes the sink
        if (!wasHanded) ++failures;
        if (wasHanded) handed.push_back(millisecondsBetween(requested, loud));
        if (wasHeard) heard.push_back(millisecondsBetween(requested, sounded));
    }
    bench::printLatency("fallback_tone_to_output", handed);
    if (probing) bench::printLatency("fallback_tone_at_sink", heard);
    std::printf("fallback_failures: %d runs\n", failures);
    if (probing) probe.stop();
}

void measureRestartsAndIdle(bool sinkRuns, sys::MessageQueue& queue, const TempFolder& folder) {
    // A null sink left alone works in two-second blocks; a listener on its monitor keeps
    // it at a real device's pace.
    ChildProcess listener;
    if (sinkRuns) listener.start(monitorRecordCommand(10) + " >/dev/null");
    auto devices = mcidev::createDeviceManager(queue, {});
    Commands cmd(*devices);
    const auto chime = writeWave(folder / "chime.wav", {.frames = 4410});  // 100 ms
    MCIDEVICEID id = 0;
    if (cmd.open(nullptr, chime.string(), id) != 0) {
        std::printf("restart_skipped: 1 flag\n");
        return;
    }
    NoticeWindow window(queue);
    auto playOnce = [&] {
        window.received.clear();
        cmd.seek(id, MCI_SEEK_TO_START);
        if (cmd.play(id, window.handle()) != 0) return false;
        return drainUntil(
            queue, [&] { return !window.received.empty(); }, 5s);
    };
    // One start first: libraries loaded, caches filled.
    playOnce();
    drainFor(queue, 50ms);
    const int threads0 = countEntries("/proc/self/task");
    const int fds0 = countEntries("/proc/self/fd");
    const long rss0 = residentKiB();
    int playingThreads = 0;
    int failures = 0;
    for (int i = 0; i < 60; ++i) {
        window.received.clear();
        cmd.seek(id, MCI_SEEK_TO_START);
        if (cmd.play(id, window.handle()) != 0) {
            ++failures;
            continue;
        }
        playingThreads = std::max(playingThreads, countEntries("/proc/self/task"));
        if (!drainUntil(
                queue, [&] { return !window.received.empty(); }, 5s))
            ++failures;
    }
    drainFor(queue, 50ms);
    std::printf("restart_count: 60 starts\n");
    std::printf("restart_failures: %d starts\n", failures);
    std::printf("restart_threads_while_playing: %d threads\n", playingThreads);
    std::printf("restart_thread_growth: %d threads\n", countEntries("/proc/self/task") - threads0);
    std::printf("restart_fd_growth: %d fds\n", countEntries("/proc/self/fd") - fds0);
    std::printf("restart_rss_growth: %ld KiB\n", residentKiB() - rss0);

    // Idle: the device stays open, nothing plays.
    const long before = otherThreadSwitches();
    std::this_thread::sleep_for(2s);
    std::printf("idle_threads: %d threads\n", countEntries("/proc/self/task"));
    std::printf("idle_other_thread_wakeups: %ld per 2 s\n", otherThreadSwitches() - before);
    cmd.close(id);
    listener.stop(SIGINT);
}

}  // namespace

int main() {
    TempFolder folder;
    sys::MessageQueue queue;
    const std::string missing = SoundServer::missingTools();
    std::unique_ptr<SoundServer> server;
    if (missing.empty()) {
        server = std::make_unique<SoundServer>(folder / "runtime");
        std::string error;
        if (server->start(error)) {
            ::setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
            std::printf("media_output: pulseaudio-null-sink driver\n");
            measureStartLatency(queue, folder);
        } else {
            std::printf("start_latency_skipped: 1 flag\n");
            std::fprintf(stderr, "no sound server: %s\n", error.c_str());
            server.reset();
        }
    } else {
        std::printf("start_latency_skipped: 1 flag\n");
        std::fprintf(stderr, "no sound server: %s\n", missing.c_str());
    }
    if (!server) {
        ::setenv("SDL_AUDIODRIVER", "dummy", 1);
        std::printf("media_output: sdl-dummy driver\n");
    }
    measureFallbackLatency(server != nullptr, queue, folder);
    measureRestartsAndIdle(server != nullptr, queue, folder);
    return 0;
}
