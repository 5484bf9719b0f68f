// The INI document: how values are found and how edits change the text.
#include "platform/profile/ini_document.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using profile::IniDocument;

const std::string bom = "\xEF\xBB\xBF";

// One file holding every way a line can read, and what each lookup finds in it.
const IniDocument sample(
    "Key=before any header\r\n"
    "[S] ; note\r\n"
    " \t Spaced \t= \t v w \t\r\n"
    "Quoted=\"  padded  \"\n"
    "Twice=\"\"x\"\"\n"
    "Unmatched=\"x'\n"
    "Lone=\"\n"
    "Empty=\n"
    "Code=a=b ; c\n"
    ";Semi=v\n"
    "  # Hash=v\n"
    "NoEquals\n"
    "Keys=prefix\n"
    "First=1\n"
    "FIRST=2\n"
    "[T\n"
    "Open=header not closed\n"
    "[Other]\n"
    "Again=other\n"
    "[saved SETTINGS]\n"
    "AlarmHour=7\n"
    "[s]\n"
    "Again=second block\n");

TEST(IniRead, FindsValues) {
    const std::vector<std::tuple<const char*, const char*, std::optional<std::string>>> lookups = {
        {"S", "Key", std::nullopt},
        {" S\t", " Spaced ", "v w"},
        {"S", "Quoted", "  padded  "},
        {"S", "Twice", "\"x\""},
        {"S", "Unmatched", "\"x'"},
        {"S", "Lone", "\""},
        {"S", "Empty", ""},
        {"S", "Code", "a=b ; c"},
        {"S", "Semi", std::nullopt},
        {"S", "Hash", std::nullopt},
        {"S", "NoEquals", std::nullopt},
        {"S", "First", "1"},
        {"S", "Open", "header not closed"},
        {"Saved Settings", "ALARMhour", "7"},
        {"S", "Again", "second block"},
        {"Other", "First", std::nullopt}};
    for (const auto& [section, key, expected] : lookups) {
        EXPECT_EQ(sample.value(section, key), expected) << '[' << section << "] " << key;
    }
}

struct Edit {
    bool erase;
    std::string section, key, value;
};
Edit erase(std::string section) { return {true, std::move(section), {}, {}}; }
Edit write(std::string section, std::string key, std::string value) {
    return {false, std::move(section), std::move(key), std::move(value)};
}

struct EditCase {
    const char* name;
    std::string before;
    std::vector<Edit> edits;
    std::string after;
};

void PrintTo(const EditCase& c, std::ostream* out) { *out << c.name; }

class IniEdit : public testing::TestWithParam<EditCase> {};

// Edits collected for one save, applied together.
TEST_P(IniEdit, GivesText) {
    profile::ProfileEdits edits;
    for (const Edit& edit : GetParam().edits) {
        edit.erase ? edits.eraseSection(edit.section) : edits.writeString(edit.section, edit.key, edit.value);
    }
    IniDocument document(GetParam().before);
    ASSERT_TRUE(edits.applyTo(document));
    EXPECT_EQ(document.text(), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniEdit,
    testing::Values(
        EditCase{"NewFile", "", {write("S", "A", "1"), write("S", "B", "2")}, "[S]\nA=1\nB=2\n"},
        EditCase{"ReplaceKeepsSpellingAndOtherLines",
                 "; mine\n[s]\n  kEY = 1 \nB=2\n",
                 {write("S", "Key", "9")},
                 "; mine\n[s]\nkEY=9\nB=2\n"},
        EditCase{"NewKeyAfterLastKeyOfSection",
                 "[S]\nA=1\n\n# about T\n[T]\nX=1\n",
                 {write("S", "B", "2")},
                 "[S]\nA=1\nB=2\n\n# about T\n[T]\nX=1\n"},
        EditCase{"NewKeyInEmptySection", "[S]\n[T]\n", {write("S", "A", "1")}, "[S]\nA=1\n[T]\n"},
        EditCase{"NewKeyGoesToLastBlockOfSection",
                 "[S]\nA=1\n[T]\n[S]\nB=2\n",
                 {write("S", "C", "3")},
                 "[S]\nA=1\n[T]\n[S]\nB=2\nC=3\n"},
        EditCase{"NewSectionAtEndAfterBlankLine", "[T]\nX=1", {write("S", "A", "1")}, "[T]\nX=1\n\n[S]\nA=1\n"},
        // A replaced line keeps its ending; new lines take the first line's.
        EditCase{"LineEndingsKept",
                 "[S]\r\nA=1\nB=2\r\n",
                 {write("S", "A", "9"), write("S", "C", "3"), write("T", "X", "4")},
                 "[S]\r\nA=9\nB=2\r\nC=3\r\n\r\n[T]\r\nX=4\r\n"},
        EditCase{"ByteOrderMarkKept", bom + "[S]\nA=1\n", {write("S", "A", "2")}, bom + "[S]\nA=2\n"},
        EditCase{"ValueStaysOnOneLineAndEndsAtNul",
                 "",
                 {write("S", "A", std::string("one\r\ntwo\n[x]\0cd", 15))},
                 "[S]\nA=one  two [x]\n"},
        EditCase{"EraseSectionUpToNextHeader",
                 "A=0\n[A]\na=1\n\n[S]\nk=1\n; note\n\n[B]\nb=1\n",
                 {erase("S")},
                 "A=0\n[A]\na=1\n\n[B]\nb=1\n"},
        EditCase{"EraseEveryBlockIgnoringCase", "[S]\nA=1\n[T]\nX=1\n[s]\nB=2\n", {erase("S")}, "[T]\nX=1\n"},
        // Erase and write, as each full save does: other sections stay byte for byte and
        // the file does not grow.
        EditCase{"RepeatedFullSaveIsStable",
                 "[Saved Settings]\r\nA=1\r\n\r\n[Other]\r\n  odd line \t\r\n;tail",
                 {erase("Saved Settings"), write("Saved Settings", "A", "2"), erase("Saved Settings"),
                  write("Saved Settings", "A", "2")},
                 "[Other]\r\n  odd line \t\r\n;tail\r\n\r\n[Saved Settings]\r\nA=2\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// Whatever text the program writes on one line, it reads back.
TEST(IniValue, ReadsBackAsWritten) {
    for (const std::string value :
         {"", " ", "plain", "  lead", "trail\t", "\"q\"", "'q'", "\"", "\"a'", "a = b ; c", "#x", "[x]", "C:\\a.wav"}) {
        IniDocument document("[S]\nA=old\n");
        ASSERT_TRUE(document.setValue("S", "A", value));
        ASSERT_TRUE(document.setValue("S", "B", value));
        EXPECT_EQ(IniDocument(document.text()).value("S", "A"), value);
        EXPECT_EQ(IniDocument(document.text()).value("S", "B"), value);
    }
}

// A name the file cannot hold is refused rather than written as something else.
TEST(IniValue, NamesTheFileCannotHoldAreRefused) {
    const std::vector<std::pair<std::string, std::string>> names = {
        {"", "A"},    {" \t", "A"}, {"a]b", "A"}, {"a\nb", "A"},   {"S", ""},
        {"S", "a=b"}, {"S", "[x"},  {"S", ";x"},  {"S", "a\r\nb"}, {"S", std::string("a\0b", 3)}};
    for (const auto& [section, key] : names) {
        IniDocument document("[S]\nA=1\n");
        EXPECT_FALSE(document.setValue(section, key, "v")) << section << '/' << key;
        EXPECT_EQ(document.text(), "[S]\nA=1\n");
        EXPECT_EQ(document.eraseSection(section), section == "S") << section;
    }
}

// A read through a buffer of n bytes gives at most n - 1, never half a UTF-8 character;
// the default comes back through the same buffer.
TEST(IniValue, ReadsAreClippedToTheBuffer) {
    const std::string m1021(1021, 'm'), eAcute = "\xC3\xA9", euro = "\xE2\x82\xAC";
    const std::vector<std::tuple<std::string, std::size_t, std::string>> cases = {
        {std::string(1500, 'm'), 1024, std::string(1023, 'm')},
        {std::string(1023, 'm'), 1024, std::string(1023, 'm')},
        {"abc", 1, ""},
        {"abc", 0, ""},
        {"m" + m1021 + eAcute, 1024, "m" + m1021},
        {m1021 + eAcute + "z", 1024, m1021 + eAcute},
        {"ab" + euro, 4, "ab"},
        {std::string(5, '\xA0'), 4, std::string(3, '\xA0')},
        {"a" + eAcute + "\x80", 4, "a" + eAcute}};
    for (const auto& [text, size, expected] : cases) {
        const IniDocument document("[S]\nKey=" + text + "\n");
        EXPECT_EQ(profile::readProfileString(document, "S", "Key", "", size), expected) << size << ' ' << text;
        EXPECT_EQ(profile::readProfileString(document, "S", "Missing", text, size), expected) << size << ' ' << text;
    }
}

}  // namespace
