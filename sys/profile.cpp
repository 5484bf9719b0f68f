#include "sys/profile.h"

#include "sys/exception.h"

#include <cstdint>
#include <string>
#include <utility>

namespace sys {

namespace {

int digitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Hands each read to the store as it comes.
class StoreReads final : public ProfileSnapshot {
public:
    StoreReads(ProfileStore& store, std::string file) : store_(store), file_(std::move(file)) {}
    std::string readString(const std::string& section, const std::string& key, const std::string& defaultValue,
                           std::size_t bufferSize) override {
        return store_.readString(file_, section, key, defaultValue, bufferSize);
    }
    std::string readProblem() override { return store_.readProblem(file_); }

private:
    ProfileStore& store_;
    std::string file_;
};

}  // namespace

std::unique_ptr<ProfileSnapshot> ProfileStore::snapshot(const std::string& file) {
    return std::make_unique<StoreReads>(*this, file);
}

// Decimal must fit an int. Hexadecimal is a 32-bit pattern, so "0xFFFFFFFF" is -1; a
// sign in front of it negates the pattern.
int parseProfileInteger(const std::string& text, int defaultValue) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    unsigned base = 10;
    if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    } else if (i < n && (text[i] == 'x' || text[i] == 'X' || text[i] == '$')) {
        base = 16;
        i += 1;
    }
    if (i == n) return defaultValue;

    const std::uint64_t limit = base == 16 ? 0xFFFFFFFFull : negative ? 0x80000000ull : 0x7FFFFFFFull;
    std::uint64_t magnitude = 0;
    for (; i < n; ++i) {
        int digit = digitValue(text[i]);
        if (digit < 0 || static_cast<unsigned>(digit) >= base) return defaultValue;
        magnitude = magnitude * base + static_cast<unsigned>(digit);
        if (magnitude > limit) return defaultValue;
    }
    std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
    if (negative) bits = 0u - bits;
    return static_cast<std::int32_t>(bits);
}

ProfileAccessor::ProfileAccessor(ProfileStore& store, std::string fileName)
    : store_(store), fileName_(std::move(fileName)) {}

ProfileAccessor::~ProfileAccessor() = default;

std::string ProfileAccessor::readString(const std::string& section, const std::string& key,
                                        const std::string& defaultValue) {
    return snapshot().readString(section, key, defaultValue, wholeValue);
}

int ProfileAccessor::readInteger(const std::string& section, const std::string& key, int defaultValue) {
    // A missing key and an empty value both end in the default.
    return parseProfileInteger(readString(section, key, std::string()), defaultValue);
}

bool ProfileAccessor::readBool(const std::string& section, const std::string& key, bool defaultValue) {
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void ProfileAccessor::writeString(const std::string& section, const std::string& key, const std::string& value) {
    batch().writeString(section, key, value);
}

void ProfileAccessor::writeInteger(const std::string& section, const std::string& key, int value) {
    writeString(section, key, std::to_string(value));
}

void ProfileAccessor::writeBool(const std::string& section, const std::string& key, bool value) {
    writeString(section, key, value ? "1" : "0");
}

void ProfileAccessor::eraseSection(const std::string& section) { batch().eraseSection(section); }

void ProfileAccessor::release() {
    snapshot_.reset();  // later reads see what this wrote
    if (!batch_) return;
    std::unique_ptr<ProfileBatch> batch = std::move(batch_);
    if (const std::string failure = batch->commit(); !failure.empty()) throw Error("Unable to write to " + failure);
}

ProfileSnapshot& ProfileAccessor::snapshot() {
    if (!snapshot_) snapshot_ = store_.snapshot(fileName_);
    return *snapshot_;
}

ProfileBatch& ProfileAccessor::batch() {
    if (!batch_) batch_ = store_.beginBatch(fileName_);
    return *batch_;
}

}  // namespace sys
