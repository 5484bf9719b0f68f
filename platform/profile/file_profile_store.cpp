#include "platform/profile/file_profile_store.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace profile {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view tempInfix = ".tmp.";
constexpr std::size_t tempSuffixLength = 6;
constexpr char tempAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

// Closes a descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release() { return std::exchange(fd_, -1); }
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

std::string tempPrefix(const std::string& base) { return "." + base + std::string(tempInfix); }

bool isOurTemp(std::string_view name, const std::string& prefix) {
    if (!name.starts_with(prefix) || name.size() != prefix.size() + tempSuffixLength) return false;
    return name.substr(prefix.size()).find_first_not_of(tempAlphabet) == std::string_view::npos;
}

std::string randomSuffix() {
    unsigned char bytes[tempSuffixLength];
    if (getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
        static std::atomic<unsigned long long> counter{0};
        unsigned long long mix =
            static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
            (static_cast<unsigned long long>(getpid()) << 32) ^ (counter++ * 0x9E3779B97F4A7C15ull);
        for (unsigned char& byte : bytes) {
            mix = mix * 6364136223846793005ull + 1442695040888963407ull;
            byte = static_cast<unsigned char>(mix >> 56);
        }
    }
    std::string suffix;
    for (unsigned char byte : bytes) suffix += tempAlphabet[byte % (sizeof tempAlphabet - 1)];
    return suffix;
}

// The whole of a regular file; errno-style error otherwise (ENOENT when missing).
struct FileContents {
    int error = 0;
    std::string text;
    struct stat info {};
};

FileContents readRegularFile(FileSystem& files, int dirfd, const char* name) {
    FileContents result;
    Descriptor fd(files.openFile(dirfd, name));
    if (!fd.valid()) {
        result.error = errno;
        return result;
    }
    if (::fstat(fd.get(), &result.info) != 0) {
        result.error = errno;
        return result;
    }
    if (!S_ISREG(result.info.st_mode)) {
        result.error = S_ISDIR(result.info.st_mode) ? EISDIR : EINVAL;
        return result;
    }
    char buffer[16384];
    for (;;) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            result.error = errno;
            return result;
        }
        if (n == 0) break;
        result.text.append(buffer, static_cast<std::size_t>(n));
    }
    return result;
}

// 0, or why the text could not all be written (a write that writes nothing: a full disk).
int writeAll(FileSystem& files, int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        long n = files.write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return ENOSPC;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

// Makes folder and any missing parent, each with mode 0700. Returns 0 or an errno value.
int makeFolders(FileSystem& files, const fs::path& folder) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0) return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
    if (errno != ENOENT) return errno;
    fs::path parent = folder.parent_path();
    if (!parent.empty() && parent != folder) {
        if (const int e = makeFolders(files, parent)) return e;
    }
    return files.makeFolder(folder.c_str()) == 0 || errno == EEXIST ? 0 : errno;
}

void removeStaleTemps(int dirfd, const std::string& base) {
    int listfd = ::dup(dirfd);
    if (listfd < 0) return;
    DIR* dir = ::fdopendir(listfd);
    if (dir == nullptr) {
        ::close(listfd);
        return;
    }
    const std::string prefix = tempPrefix(base);
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir)) {
        if (isOurTemp(entry->d_name, prefix)) stale.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    for (const std::string& name : stale) ::unlinkat(dirfd, name.c_str(), 0);
}

int lockFolder(int dirfd) {
    while (::flock(dirfd, LOCK_EX) != 0) {
        if (errno != EINTR) return errno;
    }
    return 0;
}

// The user's configuration folder for this program; empty when there is no home folder.
fs::path userConfigFolder() {
    // Only an absolute XDG_CONFIG_HOME counts; an empty or relative one is ignored.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') return fs::path(xdg) / "tolvane";
    std::string home;
    if (const char* env = std::getenv("HOME"); env != nullptr && env[0] == '/') {
        home = env;
    } else {
        long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
        std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
        passwd entry{};
        passwd* found = nullptr;
        if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
            found->pw_dir != nullptr && found->pw_dir[0] == '/') {
            home = found->pw_dir;
        }
    }
    if (home.empty()) return {};
    return fs::path(home) / ".config" / "tolvane";
}

}  // namespace

int FileSystem::makeFolder(const char* path) { return ::mkdir(path, 0700); }

// Non-blocking so that a FIFO in the file's place cannot hang the program.
int FileSystem::openFile(int folder, const char* name) {
    return ::openat(folder, name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

int FileSystem::createFile(int folder, const char* name) {
    return ::openat(folder, name, O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
}

int FileSystem::setMode(int fd, unsigned mode) { return ::fchmod(fd, mode); }

long FileSystem::write(int fd, const char* data, std::size_t size) { return ::write(fd, data, size); }

int FileSystem::sync(int fd) { return ::fsync(fd); }

int FileSystem::close(int fd) { return ::close(fd); }

int FileSystem::rename(int folder, const char* from, const char* to) { return ::renameat(folder, from, folder, to); }

FileSystem& FileSystem::system() {
    static FileSystem files;
    return files;
}

FileProfileStore::FileProfileStore() : FileProfileStore(userConfigFolder()) {}

FileProfileStore::FileProfileStore(fs::path configFolder, FileSystem& files)
    : configFolder_(std::move(configFolder)), files_(files) {}

fs::path FileProfileStore::pathOf(const std::string& file) const {
    if (file.empty() || file.find('\0') != std::string::npos) return {};
    if (file.find('/') != std::string::npos) {
        fs::path path(file);
        if (!path.has_filename() || path.filename() == "." || path.filename() == "..") return {};
        return path;
    }
    if (file == "." || file == ".." || configFolder_.empty()) return {};
    return configFolder_ / file;
}

namespace {

// The file read and parsed once; a file that cannot be read reads as empty.
class FileSnapshot final : public ui::ProfileSnapshot {
public:
    FileSnapshot(FileSystem& files, fs::path path) : path_(std::move(path)) {
        if (path_.empty()) return;
        FileContents contents = readRegularFile(files, AT_FDCWD, path_.c_str());
        error_ = contents.error;
        if (error_ == 0) document_ = IniDocument(contents.text);
    }
    std::string readString(const std::string& section, const std::string& key, const std::string& defaultValue,
                           std::size_t bufferSize) override {
        return readProfileString(document_, section, key, defaultValue, bufferSize);
    }
    std::string readProblem() override {
        if (error_ == 0 || error_ == ENOENT) return {};
        return path_.string() + ": " + (error_ == EINVAL ? "Not a regular file" : std::strerror(error_));
    }

private:
    fs::path path_;
    int error_ = 0;
    IniDocument document_;
};

}  // namespace

std::unique_ptr<ui::ProfileSnapshot> FileProfileStore::snapshot(const std::string& file) {
    return std::make_unique<FileSnapshot>(files_, pathOf(file));
}

std::string FileProfileStore::readString(const std::string& file, const std::string& section, const std::string& key,
                                         const std::string& defaultValue, std::size_t bufferSize) {
    return snapshot(file)->readString(section, key, defaultValue, bufferSize);
}

std::string FileProfileStore::readProblem(const std::string& file) { return snapshot(file)->readProblem(); }

std::unique_ptr<ui::ProfileBatch> FileProfileStore::beginBatch(const std::string& file) {
    return std::make_unique<EditsBatch>(file, [this](const std::string& name, const ProfileEdits& edits) {
        const int error = save(name, edits);
        if (error == 0) return std::string();
        const fs::path path = pathOf(name);
        return (path.empty() ? name : path.string()) + ": " + std::strerror(error);
    });
}

int FileProfileStore::save(const std::string& file, const ProfileEdits& edits) {
    fs::path path = pathOf(file);
    if (path.empty()) return EINVAL;
    // The configuration folder is ours to make; a folder the caller named must exist.
    if (file.find('/') == std::string::npos) {
        if (const int e = makeFolders(files_, configFolder_)) return e;
    }

    // Replace what a symbolic link points at, not the link.
    struct stat linkInfo {};
    if (::lstat(path.c_str(), &linkInfo) == 0 && S_ISLNK(linkInfo.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved) == nullptr) return errno;
        path = resolved;
    }
    fs::path folder = path.parent_path();
    if (folder.empty()) folder = ".";
    const std::string base = path.filename().string();

    Descriptor dirfd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dirfd.valid()) return errno;
    // Released when dirfd closes, or by the system if this process dies. Without the lock
    // (a file system that has none) the save still runs, but leaves others' temporary
    // files alone.
    if (lockFolder(dirfd.get()) == 0) removeStaleTemps(dirfd.get(), base);

    FileContents old = readRegularFile(files_, dirfd.get(), base.c_str());
    const bool exists = old.error == 0;
    if (!exists && old.error != ENOENT) return old.error;

    IniDocument document(old.text);
    if (!edits.applyTo(document)) return EINVAL;
    const std::string text = document.text();
    if (exists ? text == old.text : text.empty()) return 0;

    // Renaming over a file needs no right to the file itself; refuse as writing it would.
    if (exists && ::faccessat(dirfd.get(), base.c_str(), W_OK, AT_EACCESS) != 0) return errno;

    std::string tempName;
    Descriptor temp;
    for (int attempt = 0; attempt < 100 && !temp.valid(); ++attempt) {
        tempName = tempPrefix(base) + randomSuffix();
        temp.reset(files_.createFile(dirfd.get(), tempName.c_str()));
        if (!temp.valid() && errno != EEXIST) return errno;
    }
    if (!temp.valid()) return EEXIST;

    // From here on a failure removes the temporary file.
    bool placed = false;
    struct TempRemover {
        int dirfd;
        const std::string& name;
        const bool& placed;
        ~TempRemover() {
            if (!placed) ::unlinkat(dirfd, name.c_str(), 0);
        }
    } remover{dirfd.get(), tempName, placed};

    if (exists) {
        // Owner first: changing it may clear set-id bits that the mode then restores.
        // Only a privileged writer can give the file away, so a refusal is expected.
        [[maybe_unused]] int owned = ::fchown(temp.get(), old.info.st_uid, old.info.st_gid);
        if (files_.setMode(temp.get(), old.info.st_mode & 07777) != 0) return errno;
    }
    if (const int e = writeAll(files_, temp.get(), text)) return e;
    if (files_.sync(temp.get()) != 0 || files_.close(temp.release()) != 0) return errno;
    if (files_.rename(dirfd.get(), tempName.c_str(), base.c_str()) != 0) return errno;
    placed = true;

    // Makes the rename itself durable. Some file systems cannot flush a folder (EINVAL);
    // the rename is then as durable as they make it.
    return files_.sync(dirfd.get()) == 0 || errno == EINVAL ? 0 : errno;
}

}  // namespace profile
