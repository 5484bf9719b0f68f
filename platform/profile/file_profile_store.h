// Private-profile files on disk.
//
// A bare file name ("tolvan.ini") lives in the per-user configuration folder:
// $XDG_CONFIG_HOME/tolvane when that variable holds an absolute path, else
// ~/.config/tolvane. The folder is made (mode 0700) by the first save. A name with a
// directory in it is used as it is.
//
// A save replaces the file in one step: the new text goes to a temporary file in the
// same folder (".<name>.tmp.XXXXXX"), which is flushed to disk, given the old file's
// owner and permissions, and renamed over the old file; then the folder is flushed.
// Saves to one folder take turns through a lock on the folder. A writer that dies
// half-way leaves at most its temporary file, and the next save to that file removes
// every temporary file of this pattern for it, since no other writer can be working
// while it holds the lock. A symbolic link is followed: its target is replaced, and the
// link stays.
#pragma once

#include "platform/profile/ini_document.h"
#include "ui/profile.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace profile {

// The steps of a save that can fail, in the order they run.
enum class SaveStep {
    CreateFolder,  // making the configuration folder
    ReadOld,       // reading the file being replaced
    CreateTemp,    // creating the temporary file
    SetMode,       // giving it the old file's permissions
    Write,         // writing the text
    SyncFile,      // flushing the temporary file
    CloseTemp,     // closing it
    Rename,        // putting it in place of the old file
    SyncFolder,    // flushing the folder (the new file is in place by then)
};

const char* saveStepName(SaveStep step);

// Used from one thread. A batch refers to its store and must not outlive it.
class FileProfileStore final : public ui::ProfileStore {
public:
    // Called before each step; returning an errno value makes that step fail with it,
    // 0 lets it run. Lets tests fail a save at any point.
    using FaultHook = std::function<int(SaveStep)>;

    // Bare names resolve to the user's configuration folder (see above).
    FileProfileStore();
    // Bare names resolve to configFolder.
    explicit FileProfileStore(std::filesystem::path configFolder);

    // The user's configuration folder for this program; empty when there is no home
    // folder to put it in.
    static std::filesystem::path userConfigFolder();

    const std::filesystem::path& configFolder() const { return configFolder_; }
    // Where the file of that name lives; empty for a name that cannot be a file.
    std::filesystem::path pathOf(const std::string& file) const;

    std::string readString(const std::string& file, const std::string& section,
                           const std::string& key, const std::string& defaultValue,
                           std::size_t bufferSize = 1024) override;
    std::unique_ptr<ui::ProfileBatch> beginBatch(const std::string& file) override;

    // Applies edits to the file and replaces it atomically. False, with the old file
    // untouched (except after a failed SyncFolder, when the new file is already in
    // place) and no temporary file left, when any step fails.
    bool save(const std::string& file, const ProfileEdits& edits);

    void setFaultHook(FaultHook hook) { faultHook_ = std::move(hook); }
    // The errno of the step that made the last save fail; 0 after a successful save.
    int lastError() const { return lastError_; }

private:
    int fault(SaveStep step) const { return faultHook_ ? faultHook_(step) : 0; }

    std::filesystem::path configFolder_;
    FaultHook faultHook_;
    int lastError_ = 0;
};

}  // namespace profile
