#include "platform/profile/file_profile_store.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/profile/native_files.h"

namespace profile {

namespace fs = std::filesystem;
using Handle = FileSystem::Handle;

namespace {

constexpr std::string_view tempInfix = ".tmp.";
constexpr std::size_t tempSuffixLength = 6;
constexpr char tempAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

// Closes a handle when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(Handle fd = FileSystem::none) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Handle get() const { return fd_; }
    bool valid() const { return fd_ != FileSystem::none; }
    Handle release() { return std::exchange(fd_, FileSystem::none); }
    void reset(Handle fd = FileSystem::none) {
        if (valid()) native::closeHandle(fd_);
        fd_ = fd;
    }

private:
    Handle fd_;
};

std::string tempPrefix(const std::string& base) { return "." + base + std::string(tempInfix); }

bool isOurTemp(std::string_view name, const std::string& prefix) {
    if (!name.starts_with(prefix) || name.size() != prefix.size() + tempSuffixLength) return false;
    return name.substr(prefix.size()).find_first_not_of(tempAlphabet) == std::string_view::npos;
}

std::string randomSuffix() {
    unsigned char bytes[tempSuffixLength];
    if (!native::randomBytes(bytes, sizeof bytes)) {
        static std::atomic<unsigned long long> counter{0};
        unsigned long long mix =
            static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
            (reinterpret_cast<std::uintptr_t>(&counter) << 16) ^ (counter++ * 0x9E3779B97F4A7C15ull);
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
    native::FileInfo info;
};

FileContents readRegularFile(FileSystem& files, Handle dirfd, const fs::path& name) {
    FileContents result;
    Descriptor fd(files.openFile(dirfd, name));
    if (!fd.valid()) {
        result.error = errno;
        return result;
    }
    if (const int e = native::fileInfo(fd.get(), result.info)) {
        result.error = e;
        return result;
    }
    if (!result.info.regular) {
        result.error = result.info.folder ? EISDIR : EINVAL;
        return result;
    }
    char buffer[16384];
    for (;;) {
        long n = native::read(fd.get(), buffer, sizeof buffer);
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
int writeAll(FileSystem& files, Handle fd, const std::string& text) {
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

// Makes folder and any missing parent, each private. Returns 0 or an errno value.
int makeFolders(FileSystem& files, const fs::path& folder) {
    if (const int state = native::folderState(folder); state != ENOENT) return state;
    fs::path parent = folder.parent_path();
    if (!parent.empty() && parent != folder) {
        if (const int e = makeFolders(files, parent)) return e;
    }
    return files.makeFolder(folder) == 0 || errno == EEXIST ? 0 : errno;
}

void removeStaleTemps(Handle dirfd, const std::string& base) {
    const std::string prefix = tempPrefix(base);
    for (const std::string& name : native::listFolder(dirfd))
        if (isOurTemp(name, prefix)) native::removeFile(dirfd, name);
}

}  // namespace

FileProfileStore::FileProfileStore() : FileProfileStore(native::userConfigFolder()) {}

FileProfileStore::FileProfileStore(fs::path configFolder, FileSystem& files)
    : configFolder_(std::move(configFolder)), files_(files) {}

fs::path FileProfileStore::pathOf(const std::string& file) const {
    if (file.empty() || file.find('\0') != std::string::npos) return {};
    if (native::namesFolder(file)) {
        fs::path path(file);
        if (!path.has_filename() || path.filename() == "." || path.filename() == "..") return {};
        return path;
    }
    if (file == "." || file == ".." || configFolder_.empty()) return {};
    return configFolder_ / file;
}

namespace {

// The file read and parsed once; a file that cannot be read reads as empty.
class FileSnapshot final : public sys::ProfileSnapshot {
public:
    FileSnapshot(FileSystem& files, fs::path path) : path_(std::move(path)) {
        if (path_.empty()) return;
        FileContents contents = readRegularFile(files, native::workingFolder(), path_);
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

std::unique_ptr<sys::ProfileSnapshot> FileProfileStore::snapshot(const std::string& file) {
    return std::make_unique<FileSnapshot>(files_, pathOf(file));
}

std::string FileProfileStore::readString(const std::string& file, const std::string& section, const std::string& key,
                                         const std::string& defaultValue, std::size_t bufferSize) {
    return snapshot(file)->readString(section, key, defaultValue, bufferSize);
}

std::string FileProfileStore::readProblem(const std::string& file) { return snapshot(file)->readProblem(); }

std::unique_ptr<sys::ProfileBatch> FileProfileStore::beginBatch(const std::string& file) {
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
    if (!native::namesFolder(file)) {
        if (const int e = makeFolders(files_, configFolder_)) return e;
    }

    // Replace what a symbolic link points at, not the link.
    if (const int e = native::followLink(path)) return e;
    fs::path folder = path.parent_path();
    if (folder.empty()) folder = ".";
    const std::string base = path.filename().string();

    Descriptor dirfd(native::openFolder(folder));
    if (!dirfd.valid()) return errno;
    // Released when dirfd closes, or by the system if this process dies. Without the lock
    // (a file system or a system that has none) the save still runs, but leaves others'
    // temporary files alone.
    if (native::lockFolder(dirfd.get())) removeStaleTemps(dirfd.get(), base);

    FileContents old = readRegularFile(files_, dirfd.get(), base);
    const bool exists = old.error == 0;
    if (!exists && old.error != ENOENT) return old.error;

    IniDocument document(old.text);
    if (!edits.applyTo(document)) return EINVAL;
    const std::string text = document.text();
    if (exists ? text == old.text : text.empty()) return 0;

    // Renaming over a file needs no right to the file itself; refuse as writing it would.
    if (exists) {
        if (const int e = native::checkWritable(dirfd.get(), base)) return e;
    }

    std::string tempName;
    Descriptor temp;
    for (int attempt = 0; attempt < 100 && !temp.valid(); ++attempt) {
        tempName = tempPrefix(base) + randomSuffix();
        temp.reset(files_.createFile(dirfd.get(), tempName));
        if (!temp.valid() && errno != EEXIST) return errno;
    }
    if (!temp.valid()) return EEXIST;

    // From here on a failure removes the temporary file.
    bool placed = false;
    struct TempRemover {
        Descriptor& temp;
        Handle dirfd;
        const std::string& name;
        const bool& placed;
        ~TempRemover() {
            if (placed) return;
            temp.reset();  // Windows removes no file that is open
            native::removeFile(dirfd, name);
        }
    } remover{temp, dirfd.get(), tempName, placed};

    if (exists) {
        // Owner first: changing it may clear set-id bits that the mode then restores.
        native::copyOwner(temp.get(), old.info);
        if (files_.setMode(temp.get(), old.info.mode & 07777) != 0) return errno;
    }
    if (const int e = writeAll(files_, temp.get(), text)) return e;
    if (files_.sync(temp.get()) != 0 || files_.close(temp.release()) != 0) return errno;
    if (files_.rename(dirfd.get(), tempName, base) != 0) return errno;
    placed = true;

    // Makes the rename itself durable. Some file systems cannot flush a folder (EINVAL);
    // the rename is then as durable as they make it.
    return files_.sync(dirfd.get()) == 0 || errno == EINVAL ? 0 : errno;
}

}  // namespace profile
