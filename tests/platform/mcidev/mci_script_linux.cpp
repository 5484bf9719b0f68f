// The wave script against our own wave device, on SDL's dummy output (it keeps time
// as a sound card would):
//   mci_script_linux file.wav   (writes the file, then prints the script's lines)
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <thread>

#include "platform/mcidev/device_manager.h"
#include "tests/platform/mcidev/mci_script.h"
#include "sys/message_queue.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: mci_script_linux file.wav\n";
        return 2;
    }
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    mcitest::writeToneWave(argv[1], 2000);
    sys::MessageQueue queue;
    const auto devices = mcidev::createDeviceManager(queue, mcidev::DeviceOptions{});
    const auto pump = [&](int ms) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        do {
            queue.drain();
            if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        } while (std::chrono::steady_clock::now() < until);
        queue.drain();
    };
    mcitest::runWaveScript(*devices, queue, argv[1], pump, std::cout);
    return 0;
}
