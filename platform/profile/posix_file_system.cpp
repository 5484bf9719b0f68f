// The settings store's file system on POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/profile/file_profile_store.h"
#include "platform/profile/native_files.h"

namespace profile {

namespace fs = std::filesystem;

namespace {

int fd(FileSystem::Handle handle) { return static_cast<int>(handle); }

}  // namespace

int FileSystem::makeFolder(const fs::path& path) { return ::mkdir(path.c_str(), 0700); }

// Non-blocking so that a FIFO in the file's place cannot hang the program.
FileSystem::Handle FileSystem::openFile(Handle folder, const fs::path& name) {
    return ::openat(fd(folder), name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

FileSystem::Handle FileSystem::createFile(Handle folder, const fs::path& name) {
    return ::openat(fd(folder), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
}

int FileSystem::setMode(Handle file, unsigned mode) { return ::fchmod(fd(file), mode); }

long FileSystem::write(Handle file, const char* data, std::size_t size) { return ::write(fd(file), data, size); }

int FileSystem::sync(Handle fileOrFolder) { return ::fsync(fd(fileOrFolder)); }

int FileSystem::close(Handle file) { return ::close(fd(file)); }

int FileSystem::rename(Handle folder, const fs::path& from, const fs::path& to) {
    return ::renameat(fd(folder), from.c_str(), fd(folder), to.c_str());
}

FileSystem& FileSystem::system() {
    static FileSystem files;
    return files;
}

namespace native {

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

bool namesFolder(const std::string& file) { return file.find('/') != std::string::npos; }

int folderState(const fs::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
    return errno;
}

int followLink(fs::path& path) {
    struct stat linkInfo {};
    if (::lstat(path.c_str(), &linkInfo) == 0 && S_ISLNK(linkInfo.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved) == nullptr) return errno;
        path = resolved;
    }
    return 0;
}

Handle workingFolder() { return AT_FDCWD; }

Handle openFolder(const fs::path& path) { return ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }

bool lockFolder(Handle folder) {
    while (::flock(fd(folder), LOCK_EX) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

std::vector<std::string> listFolder(Handle folder) {
    std::vector<std::string> names;
    int listfd = ::dup(fd(folder));
    if (listfd < 0) return names;
    DIR* dir = ::fdopendir(listfd);
    if (dir == nullptr) {
        ::close(listfd);
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) names.emplace_back(entry->d_name);
    ::closedir(dir);
    return names;
}

void removeFile(Handle folder, const std::string& name) { ::unlinkat(fd(folder), name.c_str(), 0); }

// Renaming over a file needs no right to the file itself; refuse as writing it would.
int checkWritable(Handle folder, const std::string& name) {
    return ::faccessat(fd(folder), name.c_str(), W_OK, AT_EACCESS) == 0 ? 0 : errno;
}

int fileInfo(Handle file, FileInfo& info) {
    struct stat st {};
    if (::fstat(fd(file), &st) != 0) return errno;
    info.regular = S_ISREG(st.st_mode);
    info.folder = S_ISDIR(st.st_mode);
    info.mode = st.st_mode & 07777;
    info.owner = st.st_uid;
    info.group = st.st_gid;
    return 0;
}

long read(Handle file, char* buffer, std::size_t size) { return ::read(fd(file), buffer, size); }

void closeHandle(Handle handle) { ::close(fd(handle)); }

// Only a privileged writer can give the file away, so a refusal is expected.
void copyOwner(Handle file, const FileInfo& from) {
    [[maybe_unused]] int owned = ::fchown(fd(file), static_cast<uid_t>(from.owner), static_cast<gid_t>(from.group));
}

bool randomBytes(unsigned char* bytes, std::size_t size) {
    return ::getrandom(bytes, size, GRND_NONBLOCK) == static_cast<ssize_t>(size);
}

}  // namespace native
}  // namespace profile
