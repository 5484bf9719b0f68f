#include "tests/fakes/memory_profile_store.h"

#include "platform/profile/ini_document.h"

namespace fakes {

std::string MemoryProfileStore::readString(const std::string& file, const std::string& section, const std::string& key,
                                           const std::string& defaultValue, std::size_t bufferSize) {
    auto found = files_.find(file);
    profile::IniDocument document(found != files_.end() ? std::string_view(found->second) : std::string_view());
    return profile::readProfileString(document, section, key, defaultValue, bufferSize);
}

std::unique_ptr<ui::ProfileBatch> MemoryProfileStore::beginBatch(const std::string& file) {
    return std::make_unique<profile::EditsBatch>(
        file, [this](const std::string& name, const profile::ProfileEdits& edits) { return commit(name, edits); });
}

std::optional<std::string> MemoryProfileStore::fileText(const std::string& file) const {
    auto found = files_.find(file);
    if (found == files_.end()) return std::nullopt;
    return found->second;
}

void MemoryProfileStore::setFileText(const std::string& file, std::string text) { files_[file] = std::move(text); }

bool MemoryProfileStore::commit(const std::string& file, const profile::ProfileEdits& edits) {
    bool failed = readOnly_ || failNext_ > 0 || file.empty();
    if (failNext_ > 0) --failNext_;
    std::string text;
    if (!failed) {
        auto found = files_.find(file);
        profile::IniDocument document(found != files_.end() ? std::string_view(found->second) : std::string_view());
        failed = !edits.applyTo(document);
        text = document.text();
        // As on disk: a save that leaves a missing file empty creates nothing.
        if (!failed && (found != files_.end() || !text.empty())) files_[file] = std::move(text);
    }
    ++(failed ? failedCommits_ : commits_);
    return !failed;
}

}  // namespace fakes
