// A fresh folder under the system's temporary folder, removed with all it holds when
// the object goes.
#pragma once

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>

namespace mcitest {

class TempFolder {
public:
    TempFolder() {
        static std::atomic<int> made{0};
        path_ = std::filesystem::temp_directory_path() / "tolvane-";
        path_ += std::to_string(::getpid()) + "-" + std::to_string(made++);
        std::filesystem::remove_all(path_);  // left by an earlier process of the same id
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

}  // namespace mcitest
