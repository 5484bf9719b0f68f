// The settings store's file system on Windows. A handle is the system's handle; a
// folder's handle also gives the folder's path, since the system opens files by path.
#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <cerrno>
#include <cstdlib>
#include <random>

#include "platform/profile/file_profile_store.h"
#include "platform/profile/native_files.h"

namespace profile {

namespace fs = std::filesystem;

namespace {

HANDLE handleOf(FileSystem::Handle handle) { return reinterpret_cast<HANDLE>(handle); }
FileSystem::Handle fromHandle(HANDLE handle) { return reinterpret_cast<FileSystem::Handle>(handle); }

// The system's error as an errno value, for the store's reports.
int errnoOf(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT: return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_DIRECTORY: return ENOTDIR;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_PARAMETER: return EINVAL;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    default: return EIO;
    }
}

int failed() {
    errno = errnoOf(GetLastError());
    return -1;
}

FileSystem::Handle failedHandle() {
    errno = errnoOf(GetLastError());
    return FileSystem::none;
}

// A folder handle's path; names in it are opened through it.
fs::path pathIn(FileSystem::Handle folder, const fs::path& name) {
    if (folder == native::workingFolder()) return name;
    wchar_t buffer[MAX_PATH * 4];
    const DWORD n = GetFinalPathNameByHandleW(handleOf(folder), buffer, static_cast<DWORD>(std::size(buffer)),
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0 || n >= std::size(buffer)) return name;
    return fs::path(std::wstring(buffer, n)) / name;
}

}  // namespace

int FileSystem::makeFolder(const fs::path& path) {
    // The new folder inherits the user's own folder's rights: private to the user.
    return CreateDirectoryW(path.c_str(), nullptr) ? 0 : failed();
}

FileSystem::Handle FileSystem::openFile(Handle folder, const fs::path& name) {
    const HANDLE file =
        CreateFileW(pathIn(folder, name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    return file == INVALID_HANDLE_VALUE ? failedHandle() : fromHandle(file);
}

FileSystem::Handle FileSystem::createFile(Handle folder, const fs::path& name) {
    const HANDLE file = CreateFileW(pathIn(folder, name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? failedHandle() : fromHandle(file);
}

// The file's rights come from its folder.
int FileSystem::setMode(Handle, unsigned) { return 0; }

long FileSystem::write(Handle file, const char* data, std::size_t size) {
    DWORD written = 0;
    const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    return WriteFile(handleOf(file), data, chunk, &written, nullptr) ? static_cast<long>(written) : failed();
}

// A folder needs no flush: the move over the old file is written through.
int FileSystem::sync(Handle fileOrFolder) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(handleOf(fileOrFolder), &info) &&
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return 0;
    return FlushFileBuffers(handleOf(fileOrFolder)) ? 0 : failed();
}

int FileSystem::close(Handle file) { return CloseHandle(handleOf(file)) ? 0 : failed(); }

int FileSystem::rename(Handle folder, const fs::path& from, const fs::path& to) {
    return MoveFileExW(pathIn(folder, from).c_str(), pathIn(folder, to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? 0
               : failed();
}

FileSystem& FileSystem::system() {
    static FileSystem files;
    return files;
}

namespace native {

fs::path userConfigFolder() {
    fs::path roaming;
    wchar_t* known = nullptr;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &known)) && known != nullptr)
        roaming = known;
    CoTaskMemFree(known);
    if (roaming.empty()) {
        if (const wchar_t* env = _wgetenv(L"APPDATA"); env != nullptr && env[0] != L'\0') roaming = env;
    }
    if (roaming.empty() || !roaming.is_absolute()) return {};
    return roaming / L"Tolvane";
}

bool namesFolder(const std::string& file) { return file.find_first_of("/\\:") != std::string::npos; }

int folderState(const fs::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return errnoOf(GetLastError());
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? 0 : ENOTDIR;
}

// The move replaces a link itself; links to settings files are not followed here.
int followLink(fs::path&) { return 0; }

Handle workingFolder() { return 0; }

Handle openFolder(const fs::path& path) {
    const HANDLE folder =
        CreateFileW(path.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    return folder == INVALID_HANDLE_VALUE ? failedHandle() : fromHandle(folder);
}

// No folder lock: saves leave temporary files they did not make alone.
bool lockFolder(Handle) { return false; }

std::vector<std::string> listFolder(Handle folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW entry{};
    const HANDLE find = FindFirstFileW(pathIn(folder, L"*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        names.push_back(fs::path(entry.cFileName).string());
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return names;
}

void removeFile(Handle folder, const std::string& name) { DeleteFileW(pathIn(folder, name).c_str()); }

// A read-only file is not replaced, as it would not be written.
int checkWritable(Handle folder, const std::string& name) {
    const DWORD attributes = GetFileAttributesW(pathIn(folder, name).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return errnoOf(GetLastError());
    return (attributes & FILE_ATTRIBUTE_READONLY) != 0 ? EACCES : 0;
}

int fileInfo(Handle file, FileInfo& info) {
    BY_HANDLE_FILE_INFORMATION system{};
    if (!GetFileInformationByHandle(handleOf(file), &system)) return errnoOf(GetLastError());
    info.folder = (system.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    info.regular = !info.folder && GetFileType(handleOf(file)) == FILE_TYPE_DISK;
    info.mode = 0600;
    return 0;
}

long read(Handle file, char* buffer, std::size_t size) {
    DWORD got = 0;
    const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    return ReadFile(handleOf(file), buffer, chunk, &got, nullptr) ? static_cast<long>(got) : failed();
}

void closeHandle(Handle handle) { CloseHandle(handleOf(handle)); }

void copyOwner(Handle, const FileInfo&) {}

bool randomBytes(unsigned char* bytes, std::size_t size) {
    try {
        std::random_device source;
        for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(source());
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace native
}  // namespace profile
