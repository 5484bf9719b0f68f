// The session's autostart folder holds one desktop entry for the program while an
// alarm is armed. The entry is replaced in one step (a temporary file renamed over
// it), so a session that starts meanwhile never reads half of it.
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/session/session_start.h"

namespace session {
namespace {

namespace fs = std::filesystem;

constexpr const char* entryName = "tolvane.desktop";

std::string because(int error) { return std::strerror(error); }

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home && home[0] == '/') return home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir &&
        found->pw_dir[0] == '/')
        return found->pw_dir;
    return {};
}

std::string configFolder() {
    // The base directory rules ignore a relative XDG_CONFIG_HOME.
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/') return config;
    const std::string home = homeFolder();
    return home.empty() ? std::string() : home + "/.config";
}

std::string runningExecutable() {
    std::error_code error;
    std::string path = fs::read_symlink("/proc/self/exe", error).string();
    if (error) return {};
    // The kernel marks a program replaced on disk while it runs (an upgrade); the new
    // one at the same path is the one to start next time.
    constexpr std::string_view deleted = " (deleted)";
    if (path.ends_with(deleted) && !fs::exists(path, error)) path.resize(path.size() - deleted.size());
    return path;
}

bool validUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > s.size()) return false;
        char32_t code = length == 1 ? c : c & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(s[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and values past the last code point.
        static constexpr char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < least[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return false;
        i += length;
    }
    return true;
}

// The program's path as the first word of an Exec value: quoted when it holds a
// character the launcher would take apart, then escaped as any string value of the
// file is, and with a literal '%' doubled so that it is not read as a field code.
std::optional<std::string> execWord(const std::string& path) {
    if (!validUtf8(path)) return std::nullopt;
    constexpr std::string_view reserved = " \t\n\"'\\><~|&;$*?#`()";
    bool quote = false;
    for (const char c : path) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return std::nullopt;
        if (reserved.find(c) != std::string_view::npos) quote = true;
    }
    std::string word;
    if (quote) word += '"';
    for (const char c : path) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) word += '\\';
        word += c;
    }
    if (quote) word += '"';
    std::string value;
    for (const char c : word) {
        if (c == '\\') value += '\\';
        if (c == '%') value += '%';
        value += c;
    }
    return value;
}

// The file's text, or nothing where there is no file to read (a folder in its place,
// say).
std::optional<std::string> readFile(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string text;
    char buffer[4096];
    while (true) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return text;
}

// Makes the folder and any missing parent, private to the user as the base directory
// rules ask for folders they make.
std::string makeFolder(const fs::path& folder) {
    std::vector<fs::path> missing;
    for (fs::path p = folder; !p.empty(); p = p.parent_path()) {
        struct stat st {};
        if (::stat(p.c_str(), &st) == 0) break;
        if (errno != ENOENT) return p.string() + ": " + because(errno);
        missing.push_back(p);
        if (p == p.parent_path()) break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (::mkdir(it->c_str(), 0700) != 0 && errno != EEXIST) return it->string() + ": " + because(errno);
    }
    return {};
}

// Writes `text` to `target` through a temporary file in the same folder.
std::string replaceFile(const fs::path& target, const std::string& text) {
    std::string temporary = (target.parent_path() / ".tolvane.desktop.XXXXXX").string();
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return target.parent_path().string() + ": " + because(errno);
    int error = 0;
    for (std::size_t done = 0; done < text.size() && error == 0;) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
        } else {
            done += static_cast<std::size_t>(n);
        }
    }
    // mkstemp makes it private; the entry is no secret and the session reads it as usual.
    if (error == 0 && ::fchmod(fd, 0644) != 0) error = errno;
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        return target.string() + ": " + because(error);
    }
    return {};
}

class AutostartEntry : public sys::SessionStart {
public:
    explicit AutostartEntry(SessionStartOptions options) : options_(std::move(options)) {
        if (options_.configHome.empty()) options_.configHome = configFolder();
        if (options_.executable.empty()) options_.executable = runningExecutable();
    }

    std::string setRegistered(bool on) override {
        if (options_.configHome.empty())
            return "Tolvane could not be set to start with the session: there is no home folder";
        const fs::path file = fs::path(options_.configHome) / "autostart" / entryName;
        return on ? add(file) : remove(file);
    }

private:
    std::string add(const fs::path& file) {
        if (options_.executable.empty())
            return "Tolvane could not be set to start with the session: the program's own path is unknown";
        const std::optional<std::string> exec = execWord(options_.executable);
        if (!exec)
            return "Tolvane could not be set to start with the session: its path (" + options_.executable +
                   ") holds characters a desktop entry cannot give";
        const std::string text =
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Tolvane\n"
            "Comment=Starts the alarm clock minimised, so that the alarm set in it still rings\n"
            "Icon=tolvane\n"
            "Exec=" +
            *exec + " " + minimisedArgument +
            "\n"
            "X-GNOME-Autostart-enabled=true\n";
        if (readFile(file) == text) return {};
        std::string problem = makeFolder(file.parent_path());
        if (problem.empty()) problem = replaceFile(file, text);
        if (!problem.empty()) return "Tolvane could not be set to start with the session (" + problem + ")";
        return {};
    }

    static std::string remove(const fs::path& file) {
        if (::unlink(file.c_str()) == 0 || errno == ENOENT || errno == ENOTDIR) return {};
        return "Tolvane's start with the session could not be removed (" + file.string() + ": " + because(errno) + ")";
    }

    SessionStartOptions options_;
};

}  // namespace

std::unique_ptr<sys::SessionStart> createSessionStart(SessionStartOptions options) {
    return std::make_unique<AutostartEntry>(std::move(options));
}

}  // namespace session
