// Settings file benchmark: the reads the main window makes when it is created, and the
// full save it makes when it closes, on a 1 kB settings file and on a 5 MB one (the
// program's own section among thousands of sections and keys it does not know).
// Prints `name: value unit` lines: the median and the slowest of several runs.
//   profile_bench [runs]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/profile/file_profile_store.h"
#include "sys/profile.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const std::string fileName = "tolvan.ini";
const std::string section = "Saved Settings";

const char* const ownSection =
    "[Saved Settings]\n"
    "Save Settings=1\n"
    "LastFileName=/home/user/Music/alarm.wav\n"
    "LastWave=/home/user/Music/alarm.wav\n"
    "LastMidi=/home/user/Music/song.mid\n"
    "AlarmHour=7\n"
    "AlarmMin=30\n"
    "AlarmAMPM=0\n"
    "AudioChecked=1\n"
    "MsgChecked=1\n"
    "MessageText=Time to get up\n"
    "LastType=Wave\n"
    "AlarmOn=1\n";

// Sections and keys the program does not know until the text reaches `bytes`, with the
// program's section in the middle, and a block of its section again at the end.
std::string settingsText(std::size_t bytes) {
    std::string text = "; settings\n";
    std::string tail = "[saved settings]\nAlarmHour=11\nLater=1\n";
    bool placed = false;
    for (int n = 0; text.size() + tail.size() < bytes; ++n) {
        if (n % 20 == 0) {
            if (!placed && text.size() >= bytes / 2) {
                text += ownSection;
                placed = true;
            }
            text += "\n; comment\n[Other Program " + std::to_string(n / 20) + "]\n";
        }
        text += "Key" + std::to_string(n % 20) + " = value " + std::to_string(n) + " of something\n";
    }
    if (!placed) text += ownSection;
    return text + tail;
}

// What the main window reads on creation, joined by commas.
std::string readStartupBatch(sys::ProfileStore& store) {
    sys::ProfileAccessor ini(store, fileName);
    std::string all = ini.readProblem();
    auto add = [&](const std::string& value) { all += (all.empty() ? "" : ",") + value; };
    add(std::to_string(ini.readBool(section, "Save Settings", true)));
    add(ini.readString(section, "LastFileName", ""));
    add(std::to_string(ini.readBool(section, "AudioChecked", true)));
    add(std::to_string(ini.readBool(section, "MsgChecked", false)));
    add(ini.readString(section, "MessageText", ""));
    add(ini.readString(section, "LastWave", ""));
    add(ini.readString(section, "LastMidi", ""));
    add(std::to_string(ini.readInteger(section, "AlarmHour", 12)));
    add(std::to_string(ini.readInteger(section, "AlarmMin", 0)));
    add(std::to_string(ini.readInteger(section, "AlarmAMPM", 0)));
    add(ini.readString(section, "LastType", ""));
    add(std::to_string(ini.readBool(section, "AlarmOn", false)));
    return all;
}

// What the main window writes when it closes with Save Settings checked.
void fullSave(sys::ProfileStore& store, int round) {
    sys::ProfileAccessor ini(store, fileName);
    ini.eraseSection(section);
    ini.writeBool(section, "Save Settings", true);
    ini.writeString(section, "LastFileName", "/home/user/Music/alarm.wav");
    ini.writeString(section, "LastWave", "/home/user/Music/alarm.wav");
    ini.writeString(section, "LastMidi", "/home/user/Music/song.mid");
    ini.writeInteger(section, "AlarmHour", 1 + round % 12);
    ini.writeInteger(section, "AlarmMin", 30);
    ini.writeInteger(section, "AlarmAMPM", 0);
    ini.writeBool(section, "AudioChecked", true);
    ini.writeBool(section, "MsgChecked", true);
    ini.writeString(section, "MessageText", "Time to get up");
    ini.writeString(section, "LastType", "Wave");
    ini.writeBool(section, "AlarmOn", true);
    ini.release();
}

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void printTimes(const std::string& name, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    std::printf("%s_p50: %.2f ms\n", name.c_str(), ms[ms.size() / 2]);
    std::printf("%s_max: %.2f ms\n", name.c_str(), ms.back());
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    std::string pattern = (fs::temp_directory_path() / "tolvane-profile-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path folder = pattern;
    profile::FileProfileStore store(folder);
    int failures = 0;
    const std::string expected =
        "1,/home/user/Music/alarm.wav,1,1,Time to get up,/home/user/Music/alarm.wav,/home/user/Music/song.mid,7,30,0,"
        "Wave,1";

    struct Size {
        const char* name;
        std::size_t bytes;
    };
    for (const Size& size : {Size{"1kb", 1024}, Size{"5mb", std::size_t{5} << 20}}) {
        const std::string text = settingsText(size.bytes);
        std::ofstream(folder / fileName, std::ios::binary) << text;
        const std::string name = std::string("profile_") + size.name;
        std::printf("%s_file_size: %zu bytes\n", name.c_str(), text.size());

        std::vector<double> reads, saves;
        for (int i = 0; i < runs; ++i) {
            const auto start = Clock::now();
            // The first block's hour, not the later one's: a wrong lookup shows.
            if (readStartupBatch(store) != expected) ++failures;
            reads.push_back(msSince(start));
        }
        for (int i = 0; i < runs; ++i) {
            const auto start = Clock::now();
            try {
                fullSave(store, i);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "%s\n", e.what());
                ++failures;
            }
            saves.push_back(msSince(start));
        }
        printTimes(name + "_startup_read", reads);
        printTimes(name + "_full_save", saves);
    }
    std::printf("profile_failures: %d runs\n", failures);
    fs::remove_all(folder);
    return failures == 0 ? 0 : 1;
}
