#include <gtest/gtest.h>

#include "platform/machine/IniDocument.h"

namespace {

using machine::IniDocument;

constexpr const char* kSample =
    "; leading comment\r\n"
    "[Boot]\r\n"
    "  Shell = Explorer.exe  \r\n"
    "quoted=\"  spaced  \"\r\n"
    "single='x'\r\n"
    "half=\"open\r\n"
    "empty=\r\n"
    "shell=second\r\n"
    "bare line\r\n"
    "\r\n"
    "[ Drivers ]\n"
    "wave=mmsystem.dll\n"
    "[boot]\r\n"
    "Late=never\r\n";

TEST(IniDocument, LookupFollowsWindowsRules) {
    const auto doc = IniDocument::Parse(kSample);
    const struct {
        const char* section;
        const char* key;
        std::optional<std::string> expected;
    } cases[] = {
        {"Boot", "Shell", "Explorer.exe"},  // blanks around key and value do not count
        {"BOOT", "SHELL", "Explorer.exe"},  // case does not count; first key wins
        {"boot", "quoted", "  spaced  "},   // matching quotes go, what they held stays
        {"boot", "single", "x"},
        {"boot", "half", "\"open"},  // unmatched quote stays
        {"boot", "empty", ""},
        {"boot", "bare line", ""},            // a line without "=" is a key without value
        {"boot", "Late", std::nullopt},       // only the first [boot] counts
        {"Drivers", "WAVE", "mmsystem.dll"},  // blanks inside the brackets do not count
        {"boot", "; leading comment", std::nullopt},
        {"missing", "Shell", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(doc.Get(c.section, c.key), c.expected) << c.section << "/" << c.key;
    }
    EXPECT_EQ(doc.SectionNames(), (std::vector<std::string>{"Boot", "Drivers"}));
}

TEST(IniDocument, SetReplacesInPlaceAndKeepsEverythingElse) {
    auto doc = IniDocument::Parse("; c\r\n[A]\r\nKey=1\r\nother=2\r\n\r\n[B]\r\nx=y\r\n");
    doc.Set("a", "KEY", "new value");
    EXPECT_EQ(doc.Serialize(), "; c\r\n[A]\r\nKey=new value\r\nother=2\r\n\r\n[B]\r\nx=y\r\n");
}

TEST(IniDocument, NewKeyGoesBeforeTheBlankLinesThatCloseItsSection) {
    auto doc = IniDocument::Parse("[A]\nk=1\n\n\n[B]\nx=y\n");
    doc.Set("A", "added", "2");
    EXPECT_EQ(doc.Serialize(), "[A]\r\nk=1\r\nadded=2\r\n\r\n\r\n[B]\r\nx=y\r\n");
    auto empty = IniDocument::Parse("[A]\r\n[B]\r\n");
    empty.Set("A", "k", "v");
    EXPECT_EQ(empty.Serialize(), "[A]\r\nk=v\r\n[B]\r\n");
}

TEST(IniDocument, NewSectionIsAppendedAfterABlankLine) {
    auto doc = IniDocument::Parse("[A]\r\nk=1");
    doc.Set("New", "key", "v");
    EXPECT_EQ(doc.Serialize(), "[A]\r\nk=1\r\n\r\n[New]\r\nkey=v\r\n");
    auto fresh = IniDocument::Parse("");
    fresh.Set("S", "K", "V");
    EXPECT_EQ(fresh.Serialize(), "[S]\r\nK=V\r\n");
}

TEST(IniDocument, DeletingKeysAndSections) {
    auto doc = IniDocument::Parse("[A]\r\nk=1\r\nk=2\r\n[B]\r\nx=y\r\n[a]\r\nz=1\r\n");
    EXPECT_TRUE(doc.DeleteKey("a", "K"));
    EXPECT_EQ(doc.Get("A", "k"), "2");  // only the first one goes
    EXPECT_FALSE(doc.DeleteKey("A", "absent"));
    EXPECT_FALSE(doc.DeleteKey("absent", "k"));
    EXPECT_TRUE(doc.DeleteSection("A"));
    EXPECT_EQ(doc.Serialize(), "[B]\r\nx=y\r\n[a]\r\nz=1\r\n");
    EXPECT_FALSE(doc.DeleteSection("absent"));
}

TEST(IniDocument, RefusesTextThatWouldNotReadBack) {
    EXPECT_TRUE(IniDocument::IsWritable("Section", "Key", "any = value ; [x]"));
    EXPECT_FALSE(IniDocument::IsWritable("Sec]tion", "Key", "v"));
    EXPECT_FALSE(IniDocument::IsWritable("Section", "K=ey", "v"));
    EXPECT_FALSE(IniDocument::IsWritable("Section", "[Key", "v"));
    EXPECT_FALSE(IniDocument::IsWritable("Section", " ;Key", "v"));
    EXPECT_FALSE(IniDocument::IsWritable("Section", "Key", "line\r\n[Injected]"));
    EXPECT_FALSE(IniDocument::IsWritable("Sec\ntion", "Key", "v"));
}

}  // namespace
