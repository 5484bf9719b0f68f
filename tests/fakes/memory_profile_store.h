// Private-profile files held in memory, with a switch that makes saves fail. Files are
// parsed and edited exactly as the store on disk does it, so a test sees the same text
// the program would leave on disk.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "sys/profile.h"

namespace profile {
class ProfileEdits;
}

namespace fakes {

class MemoryProfileStore : public sys::ProfileStore {
public:
    std::string readString(const std::string& file, const std::string& section, const std::string& key,
                           const std::string& defaultValue, std::size_t bufferSize = 1024) override;
    std::unique_ptr<sys::ProfileBatch> beginBatch(const std::string& file) override;
    std::string readProblem(const std::string&) override {
        return unreadable_ ? "/memory/tolvan.ini: Permission denied" : "";
    }

    // The whole text of a file by the name the program uses; nothing when it is missing.
    std::optional<std::string> fileText(const std::string& file) const;
    void setFileText(const std::string& file, std::string text);
    bool hasFile(const std::string& file) const { return files_.contains(file); }

    // While set, every commit fails, as for a file that cannot be written.
    void setReadOnly(bool readOnly) { readOnly_ = readOnly; }
    // While set, files read as missing and readProblem says why.
    void setUnreadable(bool unreadable) { unreadable_ = unreadable; }

    int commits() const { return commits_; }  // successful ones

private:
    std::string commit(const std::string& file, const profile::ProfileEdits& edits);

    std::map<std::string, std::string> files_;
    bool readOnly_ = false;
    bool unreadable_ = false;
    int commits_ = 0;
};

}  // namespace fakes
