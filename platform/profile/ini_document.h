// The text of one private-profile (INI) file, held line by line so that an edit
// rewrites only the lines it concerns and every other byte stays as it was. Sections are
// indexed as the text is read, and the keys of a section when it is first looked into:
// a lookup or an edit goes straight to its lines, so reading a file and making a save's
// edits take time in proportion to its size, not to its size times the edits.
//
// Format, as read:
//   [Section]        a header; the name runs from '[' to the first ']', blanks trimmed
//   Key=Value        a key of the section above it; blanks around both trimmed
//   ; text / # text  a comment
// Names match without regard to ASCII case. A value loses the blanks around it and one
// pair of surrounding quotes ("..." or '...'). A section may appear more than once; its
// blocks then act as one section in file order. Lines before the first header, lines
// without '=' and malformed headers are kept but belong to no key.
//
// Line endings: LF and CRLF are both read. Lines written by an edit use the ending of
// the file's first line (LF for a file without one). A leading UTF-8 byte order mark is
// kept and is not part of the first line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "sys/profile.h"

namespace profile {

// What a caller with a buffer of bufferSize bytes receives of text: at most
// bufferSize - 1 bytes, never ending in part of a UTF-8 sequence.
std::string clipToBuffer(std::string text, std::size_t bufferSize);

class IniDocument {
public:
    IniDocument() = default;
    explicit IniDocument(std::string_view text);
    // The index refers to lines by their place in the list, which a move keeps.
    IniDocument(IniDocument&&) = default;
    IniDocument& operator=(IniDocument&&) = default;
    IniDocument(const IniDocument&) = delete;
    IniDocument& operator=(const IniDocument&) = delete;

    // The value of key in section (trimmed, quotes removed); nothing when the section or
    // the key is missing. The first occurrence of a key wins.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;

    // Replaces the first occurrence of key in section with "Key=value", keeping the
    // spelling of the key already in the file. A new key goes after the last key of the
    // section; a new section goes at the end of the file, after a blank line when the
    // file does not already end in one. A value is stored up to its first NUL, with each
    // CR and LF turned into a blank so that it stays on one line; a value with blanks at
    // either end, or already in a pair of quotes, is put in double quotes so that it
    // reads back as written. False, with the
    // document unchanged, for a name that the format cannot hold: empty after trimming,
    // a line break or NUL in either name, ']' in a section name, '=' in a key name, or a
    // key name starting with '[', ';' or '#'.
    bool setValue(std::string_view section, std::string_view key, std::string_view value);

    // Removes every block of section: its header and every line up to the next header.
    // False, with nothing removed, for a section name the format cannot hold.
    bool eraseSection(std::string_view section);

    std::string text() const;

private:
    enum class Kind : std::uint8_t { Blank, Comment, Header, Key, Other };
    enum class Ending : std::uint8_t { None, Lf, CrLf };
    // The text of a line is a view of the text the document was read from, or of a text
    // an edit made; both stay where they are for the life of the document.
    struct Line {
        std::string_view text;  // without its line ending
        Ending end = Ending::None;
        Kind kind = Kind::Other;
        std::size_t nameStart = 0;  // Header, Key: the name, trimmed, within text
        std::size_t nameSize = 0;
        std::size_t valueStart = 0;  // Key: offset of the byte after '='
        std::string_view name() const { return text.substr(nameStart, nameSize); }
    };
    using Lines = std::list<Line>;

    static std::size_t foldedHash(std::string_view name);
    static bool sameFoldedName(std::string_view a, std::string_view b);

    // Names hashed and compared without regard to ASCII case.
    struct FoldedHash {
        std::size_t operator()(std::string_view name) const { return foldedHash(name); }
    };
    struct FoldedEqual {
        bool operator()(std::string_view a, std::string_view b) const { return sameFoldedName(a, b); }
    };

    using KeyIndex = std::unordered_map<std::string_view, Lines::iterator, FoldedHash, FoldedEqual>;
    struct Section {
        std::vector<Lines::iterator> headers;  // one per block, in file order
        Lines::iterator lastContent;           // the last header, key or other line of the last block
        // The first line of each key, made when the section is first looked into: most
        // sections of a file are other programs', and never are. A name refers to the
        // text its line was read with, which stays when an edit rewrites the line.
        std::optional<KeyIndex> keys;
    };

    static Line makeLine(std::string_view text, Ending end);
    std::string_view keep(std::string text);  // a text made by an edit, for a line
    KeyIndex& keysOf(Section& section) const;

    std::unique_ptr<const std::string> source_;  // on the heap, so that a move keeps it in place
    std::list<std::string> made_;
    std::string byteOrderMark_;
    Lines lines_;
    Ending lineEnding_ = Ending::Lf;
    // Looking up a value may make the key index of its section, hence mutable: a
    // document is used by one thread at a time, reads included.
    mutable std::unordered_map<std::string_view, Section, FoldedHash, FoldedEqual> sections_;
};

// A list of edits applied to a document in order: what one save collects before it is
// committed. Applying them gives exactly the file that making each edit on its own
// would give.
class ProfileEdits {
public:
    void eraseSection(std::string section);
    void writeString(std::string section, std::string key, std::string value);
    // False when an edit names something the format cannot hold; the document is then
    // left partly edited and must be thrown away.
    bool applyTo(IniDocument& document) const;

private:
    struct Edit {
        bool erase = false;
        std::string section;
        std::string key;
        std::string value;
    };
    std::vector<Edit> edits_;
};

// A batch that collects its edits and hands them to `save` (file name, edits) on
// commit: how every store of ours writes.
class EditsBatch final : public sys::ProfileBatch {
public:
    // Returns an empty text, or where and why the file could not be written.
    using Save = std::function<std::string(const std::string& file, const ProfileEdits& edits)>;
    EditsBatch(std::string file, Save save) : file_(std::move(file)), save_(std::move(save)) {}
    void eraseSection(const std::string& section) override { edits_.eraseSection(section); }
    void writeString(const std::string& section, const std::string& key, const std::string& value) override {
        edits_.writeString(section, key, value);
    }
    std::string commit() override { return save_(file_, edits_); }

private:
    std::string file_;
    Save save_;
    ProfileEdits edits_;
};

// The read the program's profile calls make: the value of key, or defaultValue when
// the document has no such key, clipped to the caller's buffer.
std::string readProfileString(const IniDocument& document, std::string_view section, std::string_view key,
                              const std::string& defaultValue, std::size_t bufferSize);

}  // namespace profile
