#include "platform/profile/ini_document.h"

#include <algorithm>
#include <cstddef>

namespace profile {

namespace {

constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Space and tab.
std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// ASCII letters compared without regard to case, every other byte exactly.
bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    }
    return true;
}

bool hasAny(std::string_view text, std::string_view chars) {
    return text.find_first_of(chars) != std::string_view::npos;
}

// Line breaks and NUL can never be part of a name, since the name would not survive a
// read of the file.
constexpr std::string_view lineBreaksAndNul{"\r\n\0", 3};

std::optional<std::string_view> validSection(std::string_view section) {
    std::string_view name = trimBlanks(section);
    if (name.empty() || hasAny(name, lineBreaksAndNul) || hasAny(name, "]")) return std::nullopt;
    return name;
}

std::optional<std::string_view> validKey(std::string_view key) {
    std::string_view name = trimBlanks(key);
    if (name.empty() || hasAny(name, lineBreaksAndNul) || hasAny(name, "=")) return std::nullopt;
    if (name.front() == '[' || name.front() == ';' || name.front() == '#') return std::nullopt;
    return name;
}

bool isQuoted(std::string_view value) {
    return value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
}

std::string storedValue(std::string_view value) {
    std::string result(value.substr(0, value.find('\0')));
    std::replace(result.begin(), result.end(), '\r', ' ');
    std::replace(result.begin(), result.end(), '\n', ' ');
    // A value that a read would trim or unquote is quoted, so that it reads back as it was.
    std::string_view trimmed = trimBlanks(result);
    if (trimmed.size() != result.size() || isQuoted(trimmed)) result = '"' + result + '"';
    return result;
}

}  // namespace

std::string clipToBuffer(std::string text, std::size_t bufferSize) {
    if (bufferSize == 0) return {};
    if (text.size() < bufferSize) return text;
    std::size_t cut = bufferSize - 1;
    // A UTF-8 character cut in two is dropped whole: find its lead byte (at most three
    // bytes back) and check that the character would have run past the cut.
    auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    if ((byteAt(cut) & 0xC0) == 0x80) {
        std::size_t lead = cut;
        while (lead > 0 && cut - lead < 3 && (byteAt(lead) & 0xC0) == 0x80) --lead;
        unsigned char first = byteAt(lead);
        std::size_t length = (first & 0xE0) == 0xC0 ? 2 : (first & 0xF0) == 0xE0 ? 3 : (first & 0xF8) == 0xF0 ? 4 : 0;
        if (length > cut - lead) cut = lead;
    }
    text.resize(cut);
    return text;
}

std::size_t IniDocument::foldedHash(std::string_view name) {
    std::size_t hash = 14695981039346656037ull;
    for (char c : name) hash = (hash ^ static_cast<unsigned char>(lowerAscii(c))) * 1099511628211ull;
    return hash;
}

bool IniDocument::sameFoldedName(std::string_view a, std::string_view b) { return sameName(a, b); }

IniDocument::Line IniDocument::makeLine(std::string_view text, Ending end) {
    Line line;
    line.text = text;
    line.end = end;
    std::string_view body = trimBlanks(text);
    auto setName = [&](std::string_view name) {
        line.nameStart = static_cast<std::size_t>(name.data() - text.data());
        line.nameSize = name.size();
    };
    if (body.empty()) {
        line.kind = Kind::Blank;
    } else if (body.front() == ';' || body.front() == '#') {
        line.kind = Kind::Comment;
    } else if (body.front() == '[') {
        std::size_t close = body.find(']');
        if (close != std::string_view::npos) {
            line.kind = Kind::Header;
            setName(trimBlanks(body.substr(1, close - 1)));
        }
    } else if (std::size_t equals = text.find('='); equals != std::string_view::npos) {
        std::string_view name = trimBlanks(text.substr(0, equals));
        if (!name.empty()) {
            line.kind = Kind::Key;
            setName(name);
            line.valueStart = equals + 1;
        }
    }
    return line;
}

std::string_view IniDocument::keep(std::string text) { return made_.emplace_back(std::move(text)); }

IniDocument::IniDocument(std::string_view input) : source_(std::make_unique<const std::string>(input)) {
    std::string_view text = *source_;
    if (text.starts_with(byteOrderMark)) {
        byteOrderMark_ = std::string(byteOrderMark);
        text.remove_prefix(byteOrderMark.size());
    }
    if (std::size_t lf = text.find('\n'); lf != std::string_view::npos && lf > 0 && text[lf - 1] == '\r') {
        lineEnding_ = Ending::CrLf;
    }
    Section* current = nullptr;  // the section of the block being read
    while (!text.empty()) {
        std::size_t lf = text.find('\n');
        std::string_view body = text.substr(0, lf);
        Ending end = Ending::None;
        if (lf != std::string_view::npos) {
            end = !body.empty() && body.back() == '\r' ? Ending::CrLf : Ending::Lf;
            if (end == Ending::CrLf) body.remove_suffix(1);
            text.remove_prefix(lf + 1);
        } else {
            text = {};
        }
        const Lines::iterator at = lines_.insert(lines_.end(), makeLine(body, end));
        switch (at->kind) {
        case Kind::Header: {
            current = &sections_.try_emplace(at->name()).first->second;
            current->headers.push_back(at);
            current->lastContent = at;
            break;
        }
        case Kind::Key:
        case Kind::Other:
            if (current != nullptr) current->lastContent = at;
            break;
        case Kind::Blank:
        case Kind::Comment: break;
        }
    }
}

IniDocument::KeyIndex& IniDocument::keysOf(Section& section) const {
    if (!section.keys) {
        section.keys.emplace();
        for (Lines::iterator line : section.headers) {
            while (++line != lines_.end() && line->kind != Kind::Header) {
                if (line->kind == Kind::Key) section.keys->try_emplace(line->name(), line);  // the first one stays
            }
        }
    }
    return *section.keys;
}

std::optional<std::string> IniDocument::value(std::string_view section, std::string_view key) const {
    section = trimBlanks(section);
    key = trimBlanks(key);
    if (section.empty() || key.empty()) return std::nullopt;
    auto found = sections_.find(section);
    if (found == sections_.end()) return std::nullopt;
    KeyIndex& keys = keysOf(found->second);
    auto at = keys.find(key);
    if (at == keys.end()) return std::nullopt;
    const Line& line = *at->second;
    std::string_view value = trimBlanks(line.text.substr(line.valueStart));
    if (isQuoted(value)) value = value.substr(1, value.size() - 2);
    return std::string(value);
}

bool IniDocument::setValue(std::string_view section, std::string_view key, std::string_view value) {
    std::optional<std::string_view> sectionName = validSection(section);
    std::optional<std::string_view> keyName = validKey(key);
    if (!sectionName || !keyName) return false;
    const std::string stored = storedValue(value);

    auto found = sections_.find(*sectionName);
    if (found != sections_.end()) {
        Section& target = found->second;
        KeyIndex& keys = keysOf(target);
        if (auto at = keys.find(*keyName); at != keys.end()) {
            Line& line = *at->second;
            line = makeLine(keep(std::string(line.name()) + "=" + stored), line.end);
            return true;
        }
        // After the last header, key or other content line of the section's last block, so
        // that blank lines and comments leading to the next header stay with that header.
        Line& previous = *target.lastContent;
        if (previous.end == Ending::None) previous.end = lineEnding_;
        const Lines::iterator added = lines_.insert(std::next(target.lastContent),
                                                    makeLine(keep(std::string(*keyName) + "=" + stored), lineEnding_));
        keys.try_emplace(added->name(), added);
        target.lastContent = added;
        return true;
    }

    if (!lines_.empty()) {
        if (lines_.back().end == Ending::None) lines_.back().end = lineEnding_;
        if (lines_.back().kind != Kind::Blank) lines_.push_back(makeLine("", lineEnding_));
    }
    const Lines::iterator header =
        lines_.insert(lines_.end(), makeLine(keep("[" + std::string(*sectionName) + "]"), lineEnding_));
    const Lines::iterator added =
        lines_.insert(lines_.end(), makeLine(keep(std::string(*keyName) + "=" + stored), lineEnding_));
    Section& created = sections_.try_emplace(header->name()).first->second;
    created.headers.push_back(header);
    created.lastContent = added;
    return true;
}

bool IniDocument::eraseSection(std::string_view section) {
    std::optional<std::string_view> name = validSection(section);
    if (!name) return false;
    auto found = sections_.find(*name);
    if (found == sections_.end()) return true;
    for (Lines::iterator header : found->second.headers) {
        Lines::iterator blockEnd = std::next(header);
        while (blockEnd != lines_.end() && blockEnd->kind != Kind::Header) ++blockEnd;
        lines_.erase(header, blockEnd);
    }
    sections_.erase(found);
    return true;
}

std::string IniDocument::text() const {
    std::size_t size = byteOrderMark_.size();
    for (const Line& line : lines_) size += line.text.size() + 2;
    std::string result;
    result.reserve(size);
    result += byteOrderMark_;
    for (const Line& line : lines_) {
        result += line.text;
        if (line.end == Ending::CrLf) result += '\r';
        if (line.end != Ending::None) result += '\n';
    }
    return result;
}

void ProfileEdits::eraseSection(std::string section) { edits_.push_back(Edit{true, std::move(section), {}, {}}); }

void ProfileEdits::writeString(std::string section, std::string key, std::string value) {
    edits_.push_back(Edit{false, std::move(section), std::move(key), std::move(value)});
}

bool ProfileEdits::applyTo(IniDocument& document) const {
    for (const Edit& edit : edits_) {
        bool done =
            edit.erase ? document.eraseSection(edit.section) : document.setValue(edit.section, edit.key, edit.value);
        if (!done) return false;
    }
    return true;
}

std::string readProfileString(const IniDocument& document, std::string_view section, std::string_view key,
                              const std::string& defaultValue, std::size_t bufferSize) {
    std::optional<std::string> value = document.value(section, key);
    return clipToBuffer(value ? std::move(*value) : defaultValue, bufferSize);
}

}  // namespace profile
