// The INI document: how values are found and how edits change the text.
#include "platform/profile/ini_document.h"
#include "ui/profile.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using profile::IniDocument;

struct ReadCase {
    const char* name;
    std::string text;
    std::string section;
    std::string key;
    std::optional<std::string> expected;
};

class IniRead : public testing::TestWithParam<ReadCase> {};

TEST_P(IniRead, FindsValue) {
    const ReadCase& c = GetParam();
    EXPECT_EQ(IniDocument(c.text).value(c.section, c.key), c.expected);
}

const std::string bom = "\xEF\xBB\xBF";

INSTANTIATE_TEST_SUITE_P(
    Cases, IniRead,
    testing::Values(
        ReadCase{"Plain", "[S]\nKey=v\n", "S", "Key", "v"},
        ReadCase{"SectionIgnoresCase", "[Saved Settings]\nKey=v\n", "saved SETTINGS", "Key", "v"},
        ReadCase{"KeyIgnoresCase", "[S]\nAlarmHour=7\n", "S", "ALARMhour", "7"},
        ReadCase{"BlanksAroundNamesAndValue", "  [ S ]  \n \t Key \t= \t v w \t\n", "S", "Key", "v w"},
        ReadCase{"BlanksInQuery", "[S]\nKey=v\n", "  S ", "\tKey ", "v"},
        ReadCase{"DoubleQuotesRemoved", "[S]\nKey=\"  padded  \"\n", "S", "Key", "  padded  "},
        ReadCase{"OnlyOnePairRemoved", "[S]\nKey=\"\"x\"\"\n", "S", "Key", "\"x\""},
        ReadCase{"UnmatchedQuotesKept", "[S]\nKey=\"x'\n", "S", "Key", "\"x'"},
        ReadCase{"EmptyValueIsAValue", "[S]\nKey=\n", "S", "Key", ""},
        ReadCase{"ValueKeepsEqualsAndSemicolon", "[S]\nKey=a=b ; c\n", "S", "Key", "a=b ; c"},
        ReadCase{"CrLfFile", "[S]\r\nKey=v\r\nNext=w\r\n", "S", "Key", "v"},
        ReadCase{"ByteOrderMarkSkipped", bom + "[S]\nKey=v\n", "S", "Key", "v"},
        ReadCase{"HeaderWithTrailingText", "[S] ; note\nKey=v\n", "S", "Key", "v"},
        ReadCase{"FirstOccurrenceWins", "[S]\nKey=1\nKEY=2\n", "S", "Key", "1"},
        ReadCase{"RepeatedSectionActsAsOne", "[S]\nA=1\n[T]\nKey=t\n[s]\nKey=2\n", "S", "Key", "2"},
        ReadCase{"KeyOfAnotherSection", "[T]\nKey=v\n[S]\nOther=1\n", "S", "Key", std::nullopt},
        ReadCase{"KeyBeforeAnyHeader", "Key=v\n[S]\n", "S", "Key", std::nullopt},
        ReadCase{"SemicolonComment", "[S]\n;Key=v\n", "S", "Key", std::nullopt},
        ReadCase{"HashComment", "[S]\n  # Key=v\n", "S", "Key", std::nullopt},
        ReadCase{"LineWithoutEquals", "[S]\nKey\n", "S", "Key", std::nullopt},
        ReadCase{"PrefixOfKeyIsNoMatch", "[S]\nKeys=v\n", "S", "Key", std::nullopt},
        ReadCase{"UnclosedHeaderEndsNothing", "[S]\n[T\nKey=v\n", "S", "Key", "v"}),
    [](const testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

struct Edit {
    bool erase;
    std::string section;
    std::string key;
    std::string value;
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

class IniEdit : public testing::TestWithParam<EditCase> {};

TEST_P(IniEdit, GivesText) {
    const EditCase& c = GetParam();
    IniDocument document(c.before);
    for (const Edit& edit : c.edits) {
        ASSERT_TRUE(edit.erase ? document.eraseSection(edit.section)
                               : document.setValue(edit.section, edit.key, edit.value));
    }
    EXPECT_EQ(document.text(), c.after);
}

// The same edits collected and applied in one go leave the same text.
TEST_P(IniEdit, CollectedEditsGiveSameText) {
    const EditCase& c = GetParam();
    profile::ProfileEdits edits;
    for (const Edit& edit : c.edits) {
        if (edit.erase) {
            edits.eraseSection(edit.section);
        } else {
            edits.writeString(edit.section, edit.key, edit.value);
        }
    }
    IniDocument document(c.before);
    ASSERT_TRUE(edits.applyTo(document));
    EXPECT_EQ(document.text(), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniEdit,
    testing::Values(
        EditCase{"NewFile", "", {write("S", "A", "1"), write("S", "B", "2")}, "[S]\nA=1\nB=2\n"},
        EditCase{"ReplaceKeepsOtherLines",
                 "; mine\n[S]\n  A = 1 \nB=2\n",
                 {write("S", "a", "9")},
                 "; mine\n[S]\nA=9\nB=2\n"},
        EditCase{"ReplaceKeepsSpellingInFile", "[s]\nkEY=1\n", {write("S", "Key", "2")}, "[s]\nkEY=2\n"},
        EditCase{"SameValueSameBytes", "[S]\nA=1\n", {write("S", "A", "1")}, "[S]\nA=1\n"},
        EditCase{"NewKeyAfterLastKeyOfSection",
                 "[S]\nA=1\n\n; about T\n[T]\nX=1\n",
                 {write("S", "B", "2")},
                 "[S]\nA=1\nB=2\n\n; about T\n[T]\nX=1\n"},
        EditCase{"NewKeyInEmptySection", "[S]\n[T]\n", {write("S", "A", "1")}, "[S]\nA=1\n[T]\n"},
        EditCase{"NewKeyGoesToLastBlockOfSection",
                 "[S]\nA=1\n[T]\n[S]\nB=2\n",
                 {write("S", "C", "3")},
                 "[S]\nA=1\n[T]\n[S]\nB=2\nC=3\n"},
        EditCase{"NewSectionAtEndAfterBlankLine", "[T]\nX=1\n", {write("S", "A", "1")}, "[T]\nX=1\n\n[S]\nA=1\n"},
        EditCase{"NewSectionAfterFileWithoutEnding", "[T]\nX=1", {write("S", "A", "1")}, "[T]\nX=1\n\n[S]\nA=1\n"},
        EditCase{"CrLfKeptForNewLines",
                 "[S]\r\nA=1\r\n",
                 {write("S", "A", "2"), write("S", "B", "3"), write("T", "X", "4")},
                 "[S]\r\nA=2\r\nB=3\r\n\r\n[T]\r\nX=4\r\n"},
        EditCase{"MixedEndingsKeptPerLine", "[S]\nA=1\r\nB=2\n", {write("S", "A", "9")}, "[S]\nA=9\r\nB=2\n"},
        EditCase{"ByteOrderMarkKept", bom + "[S]\nA=1\n", {write("S", "A", "2")}, bom + "[S]\nA=2\n"},
        EditCase{"LineBreaksInValueBecomeBlanks", "", {write("S", "A", "one\r\ntwo\n[x]")}, "[S]\nA=one  two [x]\n"},
        EditCase{"EdgeBlanksQuoted", "", {write("S", "A", " hi\t")}, "[S]\nA=\" hi\t\"\n"},
        EditCase{"QuotedValueQuotedAgain", "", {write("S", "A", "'x'")}, "[S]\nA=\"'x'\"\n"},
        EditCase{"ValueEndsAtNul", "", {write("S", "A", std::string("ab\0cd", 5))}, "[S]\nA=ab\n"},
        EditCase{"EraseSectionUpToNextHeader",
                 "[A]\na=1\n\n[S]\nk=1\n; note\n\n[B]\nb=1\n",
                 {erase("S")},
                 "[A]\na=1\n\n[B]\nb=1\n"},
        EditCase{"EraseEveryBlockIgnoringCase", "[S]\nA=1\n[T]\nX=1\n[s]\nB=2\n", {erase("S")}, "[T]\nX=1\n"},
        EditCase{"EraseMissingSection", "; only\nA=1\n[T]\n", {erase("S")}, "; only\nA=1\n[T]\n"},
        EditCase{"FullSaveOrdersKeysAndDropsOthers",
                 "[Saved Settings]\nAlarmOn=1\nByHand=x\nSave Settings=1\n",
                 {erase("Saved Settings"), write("Saved Settings", "Save Settings", "1"),
                  write("Saved Settings", "AlarmOn", "0")},
                 "[Saved Settings]\nSave Settings=1\nAlarmOn=0\n"},
        EditCase{"FullSaveKeepsOtherSectionsByteForByte",
                 "[Other]\r\n  odd line \t\r\n[Saved Settings]\r\nA=1\r\n;tail",
                 {erase("Saved Settings"), write("Saved Settings", "A", "2")},
                 "[Other]\r\n  odd line \t\r\n\r\n[Saved Settings]\r\nA=2\r\n"},
        EditCase{"RepeatedFullSaveIsStable",
                 "[Saved Settings]\nA=1\n\n[Other]\nx=1\n",
                 {erase("Saved Settings"), write("Saved Settings", "A", "2"), erase("Saved Settings"),
                  write("Saved Settings", "A", "2")},
                 "[Other]\nx=1\n\n[Saved Settings]\nA=2\n"}),
    [](const testing::TestParamInfo<EditCase>& info) { return std::string(info.param.name); });

class ValueRoundTrip : public testing::TestWithParam<std::string> {};

// Whatever text the program writes on one line, it reads back.
TEST_P(ValueRoundTrip, ReadsBackAsWritten) {
    IniDocument document("[S]\nA=old\n");
    ASSERT_TRUE(document.setValue("S", "A", GetParam()));
    ASSERT_TRUE(document.setValue("S", "B", GetParam()));
    EXPECT_EQ(IniDocument(document.text()).value("S", "A"), GetParam());
    EXPECT_EQ(IniDocument(document.text()).value("S", "B"), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Values, ValueRoundTrip,
                         testing::Values("", " ", "plain", "  lead", "trail\t", "\"q\"", "'q'", "\"", "\"a'",
                                         "a = b ; c", "#x", "[x]", "C:\\path\\file.wav"));

struct BadName {
    const char* name;
    std::string section;
    std::string key;
};

class IniBadName : public testing::TestWithParam<BadName> {};

// A name the file cannot hold is refused rather than written as something else.
TEST_P(IniBadName, RefusedAndTextUnchanged) {
    const BadName& c = GetParam();
    const std::string before = "[S]\nA=1\n";
    IniDocument document(before);
    EXPECT_FALSE(document.setValue(c.section, c.key, "v"));
    if (c.section != "S") {
        EXPECT_FALSE(document.eraseSection(c.section));
    }
    EXPECT_EQ(document.text(), before);
}

INSTANTIATE_TEST_SUITE_P(Cases, IniBadName,
                         testing::Values(BadName{"EmptySection", "", "A"}, BadName{"BlankSection", " \t", "A"},
                                         BadName{"BracketInSection", "a]b", "A"},
                                         BadName{"NewlineInSection", "a\nb", "A"}, BadName{"EmptyKey", "S", ""},
                                         BadName{"EqualsInKey", "S", "a=b"}, BadName{"KeyLikeHeader", "S", "[x"},
                                         BadName{"KeyLikeComment", "S", ";x"},
                                         BadName{"KeyWithLineBreak", "S", "a\r\nb"},
                                         BadName{"KeyWithNul", "S", std::string("a\0b", 3)}),
                         [](const testing::TestParamInfo<BadName>& info) { return std::string(info.param.name); });

TEST(IniEdits, BadNameFailsTheWholeBatch) {
    profile::ProfileEdits edits;
    edits.writeString("S", "A", "1");
    edits.writeString("S", "a=b", "2");
    IniDocument document;
    EXPECT_FALSE(edits.applyTo(document));
}

struct ClipCase {
    const char* name;
    std::string text;
    std::size_t bufferSize;
    std::string expected;
};

class ReadBuffer : public testing::TestWithParam<ClipCase> {};

TEST_P(ReadBuffer, Clips) {
    const ClipCase& c = GetParam();
    IniDocument document("[S]\nKey=" + c.text + "\n");
    EXPECT_EQ(profile::readProfileString(document, "S", "Key", "", c.bufferSize), c.expected);
    // The default comes back through the same buffer.
    EXPECT_EQ(profile::readProfileString(document, "S", "Missing", c.text, c.bufferSize), c.expected);
}

const std::string e_acute = "\xC3\xA9";
const std::string euro = "\xE2\x82\xAC";

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadBuffer,
    testing::Values(ClipCase{"LongValueCut", std::string(1500, 'm'), 1024, std::string(1023, 'm')},
                    ClipCase{"FitsExactly", std::string(1023, 'm'), 1024, std::string(1023, 'm')},
                    ClipCase{"OneOver", std::string(1024, 'm'), 1024, std::string(1023, 'm')},
                    ClipCase{"OneByteBuffer", "abc", 1, ""}, ClipCase{"NoBuffer", "abc", 0, ""},
                    ClipCase{"CharacterCutInTwoDropped", std::string(1022, 'm') + e_acute, 1024,
                             std::string(1022, 'm')},
                    ClipCase{"CharacterEndingAtLimitKept", std::string(1021, 'm') + e_acute + "z", 1024,
                             std::string(1021, 'm') + e_acute},
                    ClipCase{"ThreeByteCharacterCut", "ab" + euro, 4, "ab"},
                    ClipCase{"NotUtf8CutByBytes", std::string(5, '\xA0'), 4, std::string(3, '\xA0')}),
    [](const testing::TestParamInfo<ClipCase>& info) { return std::string(info.param.name); });

struct IntegerCase {
    const char* text;
    int expected;
};

constexpr int fallback = -77;

class ProfileInteger : public testing::TestWithParam<IntegerCase> {};

TEST_P(ProfileInteger, Parses) {
    EXPECT_EQ(ui::parseProfileInteger(GetParam().text, fallback), GetParam().expected) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileInteger,
    testing::Values(IntegerCase{"0", 0}, IntegerCase{"45", 45}, IntegerCase{"007", 7}, IntegerCase{"  \t12", 12},
                    IntegerCase{"+5", 5}, IntegerCase{"-5", -5}, IntegerCase{"0x1A", 26}, IntegerCase{"0X1a", 26},
                    IntegerCase{"X1a", 26}, IntegerCase{"$1A", 26}, IntegerCase{"-$10", -16},
                    IntegerCase{" -0x10", -16}, IntegerCase{"0xFFFFFFFF", -1}, IntegerCase{"0x7fffffff", 2147483647},
                    IntegerCase{"2147483647", 2147483647}, IntegerCase{"-2147483648", -2147483647 - 1},
                    IntegerCase{"2147483648", fallback}, IntegerCase{"-2147483649", fallback},
                    IntegerCase{"0x100000000", fallback}, IntegerCase{"", fallback}, IntegerCase{"-", fallback},
                    IntegerCase{"0x", fallback}, IntegerCase{"12abc", fallback}, IntegerCase{"12 ", fallback},
                    IntegerCase{"1.5", fallback}, IntegerCase{"--1", fallback}, IntegerCase{"$-1", fallback}));

}  // namespace
