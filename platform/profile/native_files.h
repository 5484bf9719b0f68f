// What the settings store needs of the file system besides the failable steps of a
// save: the system's part, one implementation per system (posix_file_system.cpp,
// windows_file_system.cpp). Errors are errno values.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/profile/file_profile_store.h"

namespace profile::native {

using Handle = FileSystem::Handle;

struct FileInfo {
    bool regular = false;
    bool folder = false;
    unsigned mode = 0;  // permission bits, where the system has them
    long long owner = -1, group = -1;
};

// The user's folder for this program's settings; empty when there is none.
std::filesystem::path userConfigFolder();
// Whether a file name holds a folder part and so is used as it is.
bool namesFolder(const std::string& file);

// 0 when path is a folder; ENOTDIR when it is something else; ENOENT or another error.
int folderState(const std::filesystem::path& path);
// Replaces a path that is a symbolic link with what it points at. 0 or an error.
int followLink(std::filesystem::path& path);

// The handle for names relative to the working folder.
Handle workingFolder();
Handle openFolder(const std::filesystem::path& path);  // none and errno on failure
// Waits for the folder's lock, held until its handle closes; false where there is none.
bool lockFolder(Handle folder);
std::vector<std::string> listFolder(Handle folder);
void removeFile(Handle folder, const std::string& name);
// EACCES (or the reason) when the file may not be replaced by this user.
int checkWritable(Handle folder, const std::string& name);

int fileInfo(Handle file, FileInfo& info);
long read(Handle file, char* buffer, std::size_t size);
void closeHandle(Handle handle);
// Gives a new file the old one's owner, where the system has owners.
void copyOwner(Handle file, const FileInfo& from);

// Fills bytes from the system's random source; false when it has none to give.
bool randomBytes(unsigned char* bytes, std::size_t size);

}  // namespace profile::native
