// The wave script against the system's own wave device, through our interface:
//   mci_script_win file.wav   (writes the file, then prints the script's lines)
#include <iostream>

// Ours first: the system's headers make the command interface's names macros.
#include "platform/mcidev/winmm_devices.h"
#include "tests/platform/mcidev/mci_script.h"

#include <windows.h>

#include <mmsystem.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: mci_script_win file.wav\n";
        return 2;
    }
    if (::waveOutGetNumDevs() == 0) {
        std::cerr << "no wave output\n";
        return 77;
    }
    mcitest::writeToneWave(argv[1], 2000);
    sys::MessageQueue queue;
    const auto devices = mcidev::createDeviceInterface(queue);
    const auto pump = [&](int ms) {
        const DWORD until = ::GetTickCount() + static_cast<DWORD>(ms);
        do {
            MSG msg;
            while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
            queue.drain();
            if (ms > 0) ::Sleep(5);
        } while (static_cast<LONG>(until - ::GetTickCount()) > 0);
    };
    mcitest::runWaveScript(*devices, queue, argv[1], pump, std::cout);
    return 0;
}
