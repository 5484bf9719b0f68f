// Private-profile (INI) files: the store that the platform provides, and the accessor
// the program reads and writes its settings through.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace sys {

// Writes collected for one file and applied together.
class ProfileBatch {
public:
    virtual ~ProfileBatch() = default;
    virtual void eraseSection(const std::string& section) = 0;
    virtual void writeString(const std::string& section, const std::string& key, const std::string& value) = 0;
    // Replaces the file atomically with the result of every write so far. Returns an
    // empty text, or, when the file could not be written (the old one is then left
    // exactly as it was), where and why: "<path>: <the system's reason>".
    virtual std::string commit() = 0;
};

// One file as it was when it was first read: the reads of one accessor go to one of
// these, so that the file is read and parsed once for all of them.
class ProfileSnapshot {
public:
    virtual ~ProfileSnapshot() = default;
    // As ProfileStore::readString and readProblem, for the file as it was read.
    virtual std::string readString(const std::string& section, const std::string& key, const std::string& defaultValue,
                                   std::size_t bufferSize = 1024) = 0;
    virtual std::string readProblem() = 0;
};

class ProfileStore {
public:
    virtual ~ProfileStore() = default;

    // The value of key in section, read through a buffer of bufferSize bytes: at most
    // bufferSize - 1 characters come back. Missing file, section or key: the default.
    // Names match without regard to case; blanks around the value and one pair of
    // surrounding quotes are removed.
    virtual std::string readString(const std::string& file, const std::string& section, const std::string& key,
                                   const std::string& defaultValue, std::size_t bufferSize = 1024) = 0;

    virtual std::unique_ptr<ProfileBatch> beginBatch(const std::string& file) = 0;

    // Why the file's values cannot be read ("<path>: <the system's reason>"), so that
    // the reads give their defaults; empty when it reads or simply does not exist yet.
    virtual std::string readProblem(const std::string& file) = 0;

    // The file as it is now, for a run of reads. By default each read asks the store.
    virtual std::unique_ptr<ProfileSnapshot> snapshot(const std::string& file);
};

// A buffer size that takes any value whole.
inline constexpr std::size_t wholeValue = static_cast<std::size_t>(-1);

// Reads a profile integer: leading blanks, an optional sign, decimal digits, or a
// "0x"/"0X"/"x"/"X"/"$" prefix for hexadecimal. Anything else gives the default.
int parseProfileInteger(const std::string& text, int defaultValue);

// One settings file, opened by name for the span of one handler. Reads see the file as
// the first of them found it (one snapshot of the store); writes are collected and
// committed by release(), which throws sys::Error("Unable to write to <path>: <reason>")
// when the store cannot write the file.
class ProfileAccessor {
public:
    ProfileAccessor(ProfileStore& store, std::string fileName);
    ~ProfileAccessor();  // discards writes that were never released
    ProfileAccessor(const ProfileAccessor&) = delete;
    ProfileAccessor& operator=(const ProfileAccessor&) = delete;

    // Empty, or why the file cannot be read (see ProfileStore::readProblem).
    std::string readProblem() { return snapshot().readProblem(); }
    // Values come back whole, however long: a value cut here would be saved cut.
    std::string readString(const std::string& section, const std::string& key, const std::string& defaultValue);
    int readInteger(const std::string& section, const std::string& key, int defaultValue);
    bool readBool(const std::string& section, const std::string& key, bool defaultValue);

    void writeString(const std::string& section, const std::string& key, const std::string& value);
    void writeInteger(const std::string& section, const std::string& key, int value);
    void writeBool(const std::string& section, const std::string& key, bool value);
    void eraseSection(const std::string& section);

    void release();

private:
    ProfileBatch& batch();
    ProfileSnapshot& snapshot();

    ProfileStore& store_;
    std::string fileName_;
    std::unique_ptr<ProfileSnapshot> snapshot_;
    std::unique_ptr<ProfileBatch> batch_;
};

}  // namespace sys
