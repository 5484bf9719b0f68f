// Private-profile files on disk.
//
// A bare file name ("tolvan.ini") lives in the per-user configuration folder: on
// Windows %APPDATA%\Tolvane; elsewhere $XDG_CONFIG_HOME/tolvane when that variable
// holds an absolute path, else ~/.config/tolvane. The folder is made (private) by the
// first save. A name with a folder in it is used as it is.
//
// A save replaces the file in one step: the new text goes to a temporary file in the
// same folder (".<name>.tmp.XXXXXX"), which is flushed to disk, given the old file's
// owner and permissions where the system has them, and moved over the old file; then
// the move itself is made durable (the folder flushed, or the move written through).
// Saves to one folder take turns through a lock on the folder where the system offers
// one. A writer that dies half-way leaves at most its temporary file, and the next
// locked save to that file removes every temporary file of this pattern for it, since
// no other writer can be working while it holds the lock. A symbolic link is followed:
// its target is replaced, and the link stays.
#pragma once

#include "platform/profile/ini_document.h"
#include "sys/profile.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace profile {

// The calls of a save that can fail: -1 with errno set on failure, and a write may
// write less than asked. The store makes them through this seam so that tests can fail
// any of them; the program uses the system's own. A handle is a descriptor, or on
// Windows a system handle; names are relative to a folder's handle.
class FileSystem {
public:
    using Handle = std::intptr_t;
    static constexpr Handle none = -1;

    virtual ~FileSystem() = default;
    virtual int makeFolder(const std::filesystem::path& path);                    // private to the user
    virtual Handle openFile(Handle folder, const std::filesystem::path& name);    // for reading
    virtual Handle createFile(Handle folder, const std::filesystem::path& name);  // new, exclusive
    virtual int setMode(Handle file, unsigned mode);                              // nothing to do on Windows
    virtual long write(Handle file, const char* data, std::size_t size);
    virtual int sync(Handle fileOrFolder);
    virtual int close(Handle file);
    // Replaces `to` with `from`, written through to disk where the system can.
    virtual int rename(Handle folder, const std::filesystem::path& from, const std::filesystem::path& to);

    static FileSystem& system();
};

// Used from one thread. A batch refers to its store and must not outlive it.
class FileProfileStore final : public sys::ProfileStore {
public:
    // Bare names resolve to the user's configuration folder (see above), or to none
    // when there is no home folder to put it in.
    FileProfileStore();
    // Bare names resolve to configFolder.
    explicit FileProfileStore(std::filesystem::path configFolder, FileSystem& files = FileSystem::system());

    // Where the file of that name lives; empty for a name that cannot be a file.
    std::filesystem::path pathOf(const std::string& file) const;

    std::string readString(const std::string& file, const std::string& section, const std::string& key,
                           const std::string& defaultValue, std::size_t bufferSize = 1024) override;
    std::unique_ptr<sys::ProfileBatch> beginBatch(const std::string& file) override;
    std::string readProblem(const std::string& file) override;
    // Reads and parses the file once for every read made through it.
    std::unique_ptr<sys::ProfileSnapshot> snapshot(const std::string& file) override;

    // Applies edits to the file and replaces it atomically. Returns 0, or the errno value
    // of the step that failed, with the old file untouched and no temporary file left;
    // also fails when the new file is in place but flushing its folder failed, since it
    // may not survive a crash.
    int save(const std::string& file, const ProfileEdits& edits);

private:
    std::filesystem::path configFolder_;
    FileSystem& files_;
};

}  // namespace profile
