// The INI document: how values are found and how edits change the text.
#include "platform/profile/ini_document.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

namespace {

using profile::IniDocument;

TEST(IniRead, FindsValues) {
    const IniDocument sample(
        "[S] ; note\r\n"
        " \t Spaced \t= \t v w \t\r\n"
        "Lone=\"\n"
        "[Other]\n"
        "[saved SETTINGS]\n"
        "AlarmHour=7\n"
        "[s]\n"
        "Again=second block\n");
    const std::vector<std::tuple<const char*, const char*, std::optional<std::string>>> lookups = {
        {" S\t", " Spaced ", "v w"},
        {"S", "Lone", "\""},
        {"Saved Settings", "ALARMhour", "7"},
        {"S", "Again", "second block"},
        {"Other", "Again", std::nullopt}};
    for (const auto& [section, key, expected] : lookups) {
        EXPECT_EQ(sample.value(section, key), expected) << '[' << section << "] " << key;
    }
}

struct EditCase {
    const char* name;
    std::string before;
    std::vector<std::pair<std::string, std::string>> edits;  // section and "Key=value", or "" to erase it
    std::string after;
};

void PrintTo(const EditCase& c, std::ostream* out) { *out << c.name; }

class IniEdit : public testing::TestWithParam<EditCase> {};

// Edits collected for one save, applied together.
TEST_P(IniEdit, GivesText) {
    profile::ProfileEdits edits;
    for (const auto& [section, line] : GetParam().edits) {
        const std::size_t equals = line.find('=');
        line.empty() ? edits.eraseSection(section)
                     : edits.writeString(section, line.substr(0, equals), line.substr(equals + 1));
    }
    IniDocument document(GetParam().before);
    ASSERT_TRUE(edits.applyTo(document));
    EXPECT_EQ(document.text(), GetParam().after);
}

const std::string bom = "\xEF\xBB\xBF";

INSTANTIATE_TEST_SUITE_P(
    Cases, IniEdit,
    testing::Values(EditCase{"ReplaceKeepsSpellingAndOtherLines",
                             "; mine\n[s]\n  kEY = 1 \nB=2\n",
                             {{"S", "Key=9"}},
                             "; mine\n[s]\nkEY=9\nB=2\n"},
                    // Blank lines and comments before a header stay with it.
                    EditCase{"NewKeyAfterLastKeyOfLastBlock",
                             "[S]\nA=1\n[T]\n[S]\nB=2\n\n# about T\n[T]\n",
                             {{"S", "C=3"}},
                             "[S]\nA=1\n[T]\n[S]\nB=2\nC=3\n\n# about T\n[T]\n"},
                    // A replaced line keeps its ending; new lines take the first line's.
                    EditCase{"LineEndingsAndByteOrderMarkKept",
                             bom + "[S]\r\nA=1\nB=2\r\n",
                             {{"S", "A=9"}, {"S", "C=3"}, {"T", "X=4"}},
                             bom + "[S]\r\nA=9\nB=2\r\nC=3\r\n\r\n[T]\r\nX=4\r\n"},
                    // The first occurrence is the one replaced; a key just added is found
                    // again, whatever its case, and is not added twice.
                    EditCase{"FirstOccurrenceAndAddedKeysAreEdited",
                             "[s]\nA=1\na=2\n[T]\n[S]\nA=3\nx\n\n",
                             {{"S", "a=9"}, {"S", "New=1"}, {"s", "NEW=2"}, {"T", "k=1"}},
                             "[s]\nA=9\na=2\n[T]\nk=1\n[S]\nA=3\nx\nNew=2\n\n"},
                    EditCase{"ValueStaysOnOneLineAndEndsAtNul",
                             "",
                             {{"S", std::string("A=one\r\ntwo\n[x]\0cd", 17)}},
                             "[S]\nA=one  two [x]\n"},
                    EditCase{"EraseEveryBlockUpToTheNextHeader",
                             "A=0\n[A]\n\n[S]\nk=1\n; note\n\n[B]\nb=1\n[s]\nB=2\n",
                             {{"S", ""}},
                             "A=0\n[A]\n\n[B]\nb=1\n"},
                    // As each full save does: other sections stay byte for byte, the file does not grow.
                    EditCase{"RepeatedFullSaveIsStable",
                             "[S]\r\nA=1\r\n\r\n[Other]\r\n  odd line \t\r\n;tail",
                             {{"S", ""}, {"S", "A=2"}, {"S", ""}, {"S", "A=2"}},
                             "[Other]\r\n  odd line \t\r\n;tail\r\n\r\n[S]\r\nA=2\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// Whatever text the program writes on one line, it reads back.
TEST(IniValue, ReadsBackAsWritten) {
    for (const std::string value :
         {"", "plain", "  lead", "trail\t", "\"q\"", "'q'", "\"a'", "a = b ; c", "#x", "[x]", "C:\\a.wav"}) {
        IniDocument document;
        ASSERT_TRUE(document.setValue("S", "A", value));
        EXPECT_EQ(IniDocument(document.text()).value("S", "A"), value) << value;
    }
}

// A read through a buffer of n bytes gives at most n - 1, never half a UTF-8 character;
// the default comes back through the same buffer.
TEST(IniValue, ReadsAreClippedToTheBuffer) {
    const std::vector<std::tuple<std::string, std::size_t, std::string>> cases = {
        {std::string(1500, 'm'), 1024, std::string(1023, 'm')},
        {std::string(1024, 'm'), 1024, std::string(1023, 'm')},
        {"ab\xE2\x82\xAC", 4, "ab"},
        {"a\xC3\xA9z", 4, "a\xC3\xA9"}};
    for (const auto& [text, size, expected] : cases) {
        const IniDocument document("[S]\nKey=" + text + "\n");
        EXPECT_EQ(profile::readProfileString(document, "S", "Key", "", size), expected) << size << ' ' << text;
        EXPECT_EQ(profile::readProfileString(document, "S", "Missing", text, size), expected) << size << ' ' << text;
    }
}

}  // namespace
