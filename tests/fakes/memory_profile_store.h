// Private-profile files held in memory, with switches that make saves fail. Files are
// parsed and edited exactly as the store on disk does it, so a test sees the same text
// the program would leave on disk.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "ui/profile.h"

namespace profile {
class ProfileEdits;
}

namespace fakes {

class MemoryProfileStore : public ui::ProfileStore {
public:
    std::string readString(const std::string& file, const std::string& section, const std::string& key,
                           const std::string& defaultValue, std::size_t bufferSize = 1024) override;
    std::unique_ptr<ui::ProfileBatch> beginBatch(const std::string& file) override;

    // The whole text of a file by the name the program uses; nothing when it does not
    // exist.
    std::optional<std::string> fileText(const std::string& file) const;
    void setFileText(const std::string& file, std::string text);
    bool hasFile(const std::string& file) const { return files_.contains(file); }

    // The next `count` commits fail (the file stays as it was).
    void failNextCommits(int count = 1) { failNext_ = count; }
    // While set, every commit fails, as for a file that cannot be written.
    void setReadOnly(bool readOnly) { readOnly_ = readOnly; }

    int commits() const { return commits_; }  // successful ones
    int failedCommits() const { return failedCommits_; }

private:
    bool commit(const std::string& file, const profile::ProfileEdits& edits);

    std::map<std::string, std::string> files_;
    int failNext_ = 0;
    bool readOnly_ = false;
    int commits_ = 0;
    int failedCommits_ = 0;
};

}  // namespace fakes
