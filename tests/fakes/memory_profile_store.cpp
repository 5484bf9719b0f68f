#include "tests/fakes/memory_profile_store.h"

#include "platform/profile/ini_document.h"

namespace fakes {

std::string MemoryProfileStore::readString(const std::string& file, const std::string& section, const std::string& key,
                                           const std::string& defaultValue, std::size_t bufferSize) {
    const std::string text = unreadable_ ? "" : fileText(file).value_or("");
    return profile::readProfileString(profile::IniDocument(text), section, key, defaultValue, bufferSize);
}

std::unique_ptr<sys::ProfileBatch> MemoryProfileStore::beginBatch(const std::string& file) {
    return std::make_unique<profile::EditsBatch>(
        file, [this](const std::string& name, const profile::ProfileEdits& edits) { return commit(name, edits); });
}

std::optional<std::string> MemoryProfileStore::fileText(const std::string& file) const {
    auto found = files_.find(file);
    if (found == files_.end()) return std::nullopt;
    return found->second;
}

void MemoryProfileStore::setFileText(const std::string& file, std::string text) { files_[file] = std::move(text); }

std::string MemoryProfileStore::commit(const std::string& file, const profile::ProfileEdits& edits) {
    profile::IniDocument document(fileText(file).value_or(""));
    if (readOnly_ || file.empty() || !edits.applyTo(document)) return "/memory/" + file + ": Read-only file system";
    // As on disk: a save that leaves a missing file empty creates nothing.
    if (hasFile(file) || !document.text().empty()) files_[file] = document.text();
    ++commits_;
    return {};
}

}  // namespace fakes
