// Valve's KeyValues text as Steam writes it, and what a strict reader must refuse.
#include <gtest/gtest.h>

#include "platform/wine/prefixes/KeyValues.h"

namespace {

using wine::prefixes::KeyValue;
using wine::prefixes::KeyValuesError;
using wine::prefixes::ParseKeyValues;
using wine::prefixes::WriteKeyValues;

// The tree as one line: key=value, key{...}.
std::string Dump(const std::vector<KeyValue>& entries) {
    std::string out;
    for (const KeyValue& entry : entries) {
        out += out.empty() ? "" : " ";
        out += entry.section ? entry.key + "{" + Dump(entry.children) + "}"
                             : entry.key + "=" + entry.value;
    }
    return out;
}

TEST(KeyValues, ReadsWhatSteamWrites) {
    struct Case {
        const char* what;
        std::string text;
        std::string tree;
    };
    const Case cases[] = {
        {"library list",
         "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"/s\"\n\t\t\"apps\"\n"
         "\t\t{\n\t\t}\n\t}\n}\n",
         "libraryfolders{0{path=/s apps{}}}"},
        {"Windows line ends and a byte order mark",
         "\xEF\xBB\xBF\"a\"\r\n{\r\n\"k\" \"v\"\r\n}\r\n", "a{k=v}"},
        {"comments between tokens", "// written by hand\n\"a\" // the root\n{\n\"k\" \"v\" // x\n}",
         "a{k=v}"},
        {"bare tokens", "AppState { appid 220 name Half-Life }",
         "AppState{appid=220 name=Half-Life}"},
        {"escapes", R"("a" { "p" "C:\\Steam \"x\"" "n" "1\n2" "odd" "\d" })",
         "a{p=C:\\Steam \"x\" n=1\n2 odd=\\d}"},
        {"a value over two lines", "\"a\" { \"k\" \"one\ntwo\" }", "a{k=one\ntwo}"},
        {"a brace ends a bare token", "a{k v}", "a{k=v}"},
        {"empty strings", "\"a\" { \"\" \"\" }", "a{=}"},
        {"two sections", "a { } b { k v }", "a{} b{k=v}"},
        {"conditions hold on Linux", "a { x 1 [$WIN32] y 2 [$X360] z 3 [!$OSX] w [$LINUX] { } }",
         "a{x=1 z=3 w{}}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<KeyValue> read;
        ASSERT_NO_THROW(read = ParseKeyValues(c.text));
        EXPECT_EQ(Dump(read), c.tree);
        // What the writer makes of it reads back the same.
        EXPECT_EQ(Dump(ParseKeyValues(WriteKeyValues(read))), c.tree);
    }
}

TEST(KeyValues, RefusesWhatIsNoKeyValuesText) {
    std::string deep = "a";
    for (int i = 0; i < 70; ++i) {
        deep += " { k";
    }
    struct Case {
        std::string text;
        std::size_t line;
        std::string says;
    };
    const Case cases[] = {
        {"", 1, "holds no section"},
        {"// only a comment\n", 1, "holds no section"},
        {"\"a\"\n{\n\"k\" \"v\"\n", 2, "\"a\" is not closed"},
        {"a { k \"v }", 1, "quoted string is not closed"},
        {"a { k }", 1, "\"k\" has no value"},
        {"a { k", 1, "\"k\" has no value"},
        {"a { } }", 1, "closing brace"},
        {"a { { } }", 1, "section has no name"},
        {"a\nb { }", 2, "\"a\" is no section"},
        {"a { k [$WIN32] v }", 1, "condition [...] between \"k\""},
        {"a { k v\n[$WIN32\n}", 2, "condition [...] is not closed"},
        {"#include \"other.vdf\"\na { }", 1, "#include"},
        {std::string("\xFF\xFE\"\0a\0\"\0", 8), 1, "UTF-16"},
        {"{ k v }", 1, "before the first section's name"},
        {deep, 1, "nested deeper"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            ParseKeyValues(c.text);
            ADD_FAILURE() << "read without error";
        } catch (const KeyValuesError& e) {
            EXPECT_EQ(e.line(), c.line);
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
        }
    }
}

TEST(KeyValues, NamesAreFoundInAnyCaseAndTheFirstWins) {
    const auto read = ParseKeyValues(
        "\"AppState\" { \"appID\" \"220\" \"Name\" \"first\" \"name\" \"second\" \"sub\" { } }");
    const KeyValue& state = read.front();
    EXPECT_EQ(state.Text("appid"), "220");
    EXPECT_EQ(state.Text("NAME"), "first");
    EXPECT_EQ(state.Text("sub"), "");
    EXPECT_EQ(state.Text("missing"), "");
    ASSERT_NE(state.Find("SUB"), nullptr);
    EXPECT_TRUE(state.Find("SUB")->section);
}

}  // namespace
