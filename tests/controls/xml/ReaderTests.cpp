#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "controls/xml/QzXML.h"
#include "platform/automation/Conversion.h"
#include "tests/controls/xml/XMLTestSupport.h"
#include "tests/support/MachineBuilder.h"

namespace Qz_XML {
namespace {

using xmltest::ErrorOf;
using xmltest::XmlError;

constexpr const char* kFile = "C:\\in.xml";

class ReaderTest : public ::testing::Test {
  protected:
    // Opens `contents` for reading.
    void Open(const std::string& contents) {
        machine.File(kFile, contents);
        xml.OpenXML(kFile, qzXMLRead);
    }
    std::vector<std::pair<std::string, std::string>> Parms() {
        std::vector<std::pair<std::string, std::string>> out;
        for (;;) {
            std::string name = "x";
            std::string value = "x";
            xml.Parm(name, value);
            if (name.empty()) {
                EXPECT_EQ(value, "");
                return out;
            }
            out.emplace_back(name, value);
        }
    }
    std::string Value() { return automation::CStr(xml.Value()); }

    testsupport::MachineBuilder machine;
    QzXML xml;
};

using Params = std::vector<std::pair<std::string, std::string>>;

TEST_F(ReaderTest, OpenStandsAfterTheOutermostStartTag) {
    Open(
        "<?xml version=\"1.0\" ?>\r\n<XML_DIZ_INFO>\r\n <Company_Info>\r\n"
        "  <Company_Name>Acme</Company_Name>\r\n </Company_Info>\r\n</XML_DIZ_INFO>\r\n");
    EXPECT_EQ(xml.XMLVersion(), "<?xml version=\"1.0\" ?>");
    EXPECT_EQ(xml.TopElement(), "XML_DIZ_INFO");
    EXPECT_TRUE(xml.FileIsOpen());
    EXPECT_EQ(xml.ReadElement(), "Company_Info");
    EXPECT_EQ(Value(), "");
    EXPECT_EQ(xml.ReadElement(), "Company_Name");
    EXPECT_EQ(Value(), "Acme");
    EXPECT_EQ(xml.ReadElement(), "/Company_Name");
    EXPECT_EQ(Value(), "");
    EXPECT_EQ(xml.ReadElement(), "/Company_Info");
    EXPECT_FALSE(xml.XMLEOF());
    EXPECT_EQ(xml.ReadElement(), "/XML_DIZ_INFO");
    EXPECT_TRUE(xml.XMLEOF());
    // Element and ParentElement belong to the writer.
    EXPECT_EQ(xml.Element(), "");
    xml.CloseXML();
    EXPECT_FALSE(xml.FileIsOpen());
    EXPECT_FALSE(xml.XMLEOF());
}

TEST_F(ReaderTest, WithoutDeclarationTheFirstTagIsTheTop) {
    Open("<Data><a>1</a></Data>");
    EXPECT_EQ(xml.XMLVersion(), "");
    EXPECT_EQ(xml.TopElement(), "Data");
    EXPECT_EQ(xml.ReadElement(), "a");
    EXPECT_EQ(Value(), "1");
}

TEST_F(ReaderTest, CommentsAndDoctypeBeforeTheTopAreSkipped) {
    Open("<?xml version=\"1.0\"?>\n<!-- one -->\n<!-- two -->\n<!DOCTYPE x>\n<Top>\n</Top>\n");
    EXPECT_EQ(xml.TopElement(), "Top");
    EXPECT_EQ(xml.Comment(), "<!-- one -->");
}

TEST_F(ReaderTest, AttributeWithQuotedBlankAndSlashWithoutBlank) {
    Open("<XML>\r\n<a x=\"one two\" y=3/>\r\n<b/>\r\n</XML>");
    EXPECT_EQ(xml.ReadElement(), "a");
    EXPECT_EQ(Parms(), (Params{{"x", "one two"}, {"y", "3/"}}));
    // Not an empty-element tag: the next read goes on in the file.
    EXPECT_EQ(xml.ReadElement(), "b");
    EXPECT_EQ(xml.ReadElement(), "/b");
    EXPECT_EQ(xml.ReadElement(), "/XML");
}

TEST_F(ReaderTest, EmptyElementTagGivesItsEndWithoutReading) {
    Open("<XML>\r\n <a x=\"1\" />\r\n <b>t</b>\r\n</XML>\r\n");
    EXPECT_EQ(xml.ReadElement(), "a");
    EXPECT_EQ(Parms(), (Params{{"x", "1"}}));
    EXPECT_EQ(xml.ReadElement(), "/a");
    EXPECT_EQ(Parms(), Params{});
    EXPECT_EQ(xml.ReadElement(), "b");
    EXPECT_EQ(Value(), "t");
}

TEST_F(ReaderTest, DeclarationParametersAndConversion) {
    Open(
        "<?xml version=\"1.0\" encoding=\"UTF-8\" ?><r a=\"&lt;&#65;&amp;\" b=plain c "
        "d=\"\">x</r>");
    EXPECT_EQ(xml.TopElement(), "r");
    EXPECT_EQ(Parms(), (Params{{"a", "<A&"}, {"b", "plain"}, {"d", ""}}));

    QzXML raw;
    raw.SetAutoConvertSpecialCharacters(false);
    raw.OpenXML(kFile, qzXMLRead);
    std::string name;
    std::string value;
    raw.Parm(name, value);
    EXPECT_EQ(value, "&lt;&#65;&amp;");
}

TEST_F(ReaderTest, ValueTrimmingAndLineBreaks) {
    const struct {
        const char* text;  // between <v> and </v>
        const char* value;
    } cases[] = {
        {"Acme", "Acme"},
        {"  Acme  ", "Acme"},
        {"\r\n  Acme\r\n ", "  Acme"},  // one line break goes at each end, inner blanks stay
        {"\r\n\r\nAcme\r\n\r\n", "\r\nAcme\r\n"},
        {"\n  ", ""},  // a file with LF line ends
        {"line1\r\nline2", "line1\r\nline2"},
        {"\t\tTabbed\ttext\t", "Tabbed\ttext"},
        {"a\x01"
         "b",
         "a"},  // another control character ends the text
        {"\x01"
         "ab",
         "ab"},
        {"&eacute;&#233;&#x20AC;", "\xC3\xA9\xC3\xA9\xE2\x82\xAC"},
        {" &#32;x&#32; ", " x "},  // trimmed before decoding
    };
    for (const auto& c : cases) {
        QzXML reader;
        machine.File(kFile, std::string("<XML><v>") + c.text + "</v></XML>");
        reader.OpenXML(kFile, qzXMLRead);
        EXPECT_EQ(reader.ReadElement(), "v");
        EXPECT_EQ(automation::CStr(reader.Value()), c.value) << c.text;
    }
}

TEST_F(ReaderTest, OneCommentIsAbsorbedPerElement) {
    Open("<XML>\r\n<a>one<!-- first -->  two</a>\r\n<b>x</b><!-- c1 --><!-- c2 --><c/></XML>");
    EXPECT_EQ(xml.ReadElement(), "a");
    EXPECT_EQ(Value(), "onetwo");
    EXPECT_EQ(xml.Comment(), "<!-- first -->");
    EXPECT_EQ(xml.ReadElement(), "/a");
    EXPECT_EQ(xml.ReadElement(), "b");
    EXPECT_EQ(xml.ReadElement(), "/b");
    EXPECT_EQ(xml.Comment(), "<!-- c1 -->");
    EXPECT_EQ(xml.ReadElement(), "!--");
    EXPECT_EQ(xml.ReadElement(), "c");
}

TEST_F(ReaderTest, CommentWithAnAngleBracketIsReadWhole) {
    Open("<XML><a>1</a><!-- first --><!-- a > b --><!--x--><b>2</b></XML>");
    EXPECT_EQ(xml.ReadElement(), "a");
    EXPECT_EQ(xml.ReadElement(), "/a");
    EXPECT_EQ(xml.Comment(), "<!-- first -->");
    EXPECT_EQ(xml.ReadElement(), "!--");
    EXPECT_EQ(Value(), "");
    EXPECT_EQ(xml.ReadElement(), "!--x--");
    EXPECT_EQ(Value(), "");
    EXPECT_EQ(xml.ReadElement(), "b");
}

TEST_F(ReaderTest, LineBreaksInsideTagsDisappear) {
    Open("<XML><a\r\n x=\"1\"\r\n>v</a></XML>");
    EXPECT_EQ(xml.ReadElement(), "a");
    EXPECT_EQ(Parms(), (Params{{"x", "1"}}));
}

TEST_F(ReaderTest, Windows1252FilesAreDecoded) {
    Open("<XML><n>Caf\xE9 \x93quoted\x94</n></XML>");
    EXPECT_EQ(xml.ReadElement(), "n");
    EXPECT_EQ(Value(), "Caf\xC3\xA9 \xE2\x80\x9Cquoted\xE2\x80\x9D");
}

// A PAD file written by a Windows tool says "it's" as &#146;s; the reference reads as the raw
// byte 146 does, in a value and in a parameter.
TEST_F(ReaderTest, ReferencesOfTheCodePageReadLikeItsBytes) {
    Open(
        "<XML><n t=\"&#150;\">it&#146;s &#133; &#128;5</n><r>it\x92s \x85 \x80"
        "5</r></XML>");
    EXPECT_EQ(xml.ReadElement(), "n");
    EXPECT_EQ(Value(),
              "it\xE2\x80\x99s \xE2\x80\xA6 \xE2\x82\xAC"
              "5");
    EXPECT_EQ(Parms(), (Params{{"t", "\xE2\x80\x93"}}));
    const std::string fromReferences = Value();
    EXPECT_EQ(xml.ReadElement(), "/n");
    EXPECT_EQ(xml.ReadElement(), "r");
    EXPECT_EQ(Value(), fromReferences);
}

TEST_F(ReaderTest, MalformedFilesNeverFail) {
    for (const char* text :
         {"", "no tags at all", "<", "<XML", "<XML><a x=\"1", "<XML>&#99999999;<",
          "<XML><a>&amp</a>", ">>>", "<XML></XML></XML></XML>"}) {
        QzXML reader;
        machine.File(kFile, text);
        reader.OpenXML(kFile, qzXMLRead);
        for (int i = 0; i < 10 && !reader.XMLEOF(); ++i) {
            reader.ReadElement();
        }
        EXPECT_TRUE(reader.XMLEOF()) << text;
    }
}

TEST_F(ReaderTest, ErrorsOfTheReader) {
    std::string text;
    EXPECT_EQ(ErrorOf([&] { xml.OpenXML("C:\\missing.xml", qzXMLRead); }, &text),
              XmlError(QzXMLErrorFileDoesNotExist));
    EXPECT_EQ(text, "File \"C:\\missing.xml\" does not exist.");
    EXPECT_EQ(xml.Error(), text);
    machine.Folder("C:\\dir");
    EXPECT_EQ(ErrorOf([&] { xml.OpenXML("C:\\dir", qzXMLRead); }),
              XmlError(QzXMLErrorFileDoesNotExist));
    EXPECT_EQ(ErrorOf([&] { xml.OpenXML("C:\\no\\where.xml", qzXMLRead); }),
              XmlError(QzXMLErrorFileDoesNotExist));
    EXPECT_EQ(ErrorOf([&] { xml.ReadElement(); }, &text), XmlError(QzXMLErrorFileNotRead));
    EXPECT_FALSE(xml.FileIsOpen());
    // The last error text stays after later successes.
    Open("<XML/>");
    EXPECT_EQ(xml.Error(), "XML file is not open for reading.");
}

TEST_F(ReaderTest, ReopeningStartsFresh) {
    Open("<XML><a x=\"1\" /></XML>");
    EXPECT_EQ(xml.ReadElement(), "a");
    xml.CloseXML();
    machine.File("C:\\second.xml", "<Second><b>2</b></Second>");
    xml.OpenXML("C:\\second.xml", qzXMLRead);
    EXPECT_EQ(xml.TopElement(), "Second");
    EXPECT_EQ(xml.ReadElement(), "b");
}

TEST_F(ReaderTest, WhatTheWriterWritesReadsBack) {
    {
        QzXML writer;
        writer.OpenXML(kFile, qzXMLWrite);
        writer.OpenElement("Item", automation::Variant("a<b> & \"q\" caf\xC3\xA9\r\nnext"));
        writer.AddParm("p", "x<y> & \"z\" \xC3\xA9");
        writer.CloseElement();
        writer.OpenElement("Empty");
        writer.AddParm("n", 7);
        writer.CloseXML();
    }
    xml.OpenXML(kFile, qzXMLRead);
    EXPECT_EQ(xml.TopElement(), "XML");
    EXPECT_EQ(xml.ReadElement(), "Item");
    EXPECT_EQ(Value(), "a<b> & \"q\" caf\xC3\xA9\r\nnext");
    EXPECT_EQ(Parms(), (Params{{"p", "x<y> & \"z\" \xC3\xA9"}}));
    EXPECT_EQ(xml.ReadElement(), "/Item");
    EXPECT_EQ(xml.ReadElement(), "Empty");
    EXPECT_EQ(Parms(), (Params{{"n", "7"}}));
    EXPECT_EQ(xml.ReadElement(), "/Empty");
    EXPECT_EQ(xml.ReadElement(), "/XML");
    EXPECT_TRUE(xml.XMLEOF());
}

}  // namespace
}  // namespace Qz_XML
