#include <gtest/gtest.h>

#include <string>

#include "controls/xml/QzXML.h"
#include "platform/automation/CreateObject.h"
#include "tests/controls/xml/XMLTestSupport.h"
#include "tests/support/MachineBuilder.h"

namespace Qz_XML {
namespace {

using automation::Variant;
using xmltest::ErrorOf;
using xmltest::XmlError;

constexpr const char* kFile = "C:\\out.xml";

class WriterTest : public ::testing::Test {
  protected:
    std::string Written() const { return machine.Read(kFile); }

    testsupport::MachineBuilder machine;
    QzXML xml;
};

TEST_F(WriterTest, TheSixLineExample) {
    xml.OpenXML(kFile, qzXMLWrite);
    xml.OpenElement("Program");
    xml.OpenElement("Name", Variant("Editor"));
    xml.CloseElement();
    xml.CloseXML();
    EXPECT_EQ(Written(),
              "<?xml version=\"1.0\" ?>\r\n"
              " <XML>\r\n"
              "  <Program>\r\n"
              "   <Name>Editor</Name>\r\n"
              "  </Program>\r\n"
              " </XML>\r\n");
    EXPECT_FALSE(xml.FileIsOpen());
}

TEST_F(WriterTest, ElementForms) {
    xml.OpenXML(kFile, qzXMLWrite);
    xml.OpenElement("Empty");
    xml.CloseElement();
    xml.OpenElement("WithParm");
    xml.AddParm("a", 1);
    xml.CloseElement();
    xml.OpenElement("Both", Variant("text"));
    xml.OpenElement("Child", Variant("c"));
    xml.CloseElement();
    xml.CloseElement();
    xml.OpenElement("Set");
    xml.SetValue("later");
    xml.CloseElement();
    xml.OpenElement("NullValue", Variant(automation::Null));
    xml.CloseElement();
    xml.CloseXML();
    EXPECT_EQ(Written(),
              "<?xml version=\"1.0\" ?>\r\n"
              " <XML>\r\n"
              "  <Empty />\r\n"
              "  <WithParm a=\"1\" />\r\n"
              "  <Both>\r\n"
              "   text\r\n"
              "   <Child>c</Child>\r\n"
              "  </Both>\r\n"
              "  <Set>later</Set>\r\n"
              "  <NullValue />\r\n"
              " </XML>\r\n");
}

TEST_F(WriterTest, SeparateCloseTagsAndHtml) {
    xml.SetForceSeparateCloseTag(true);
    xml.OpenXML(kFile, qzXMLWrite);
    xml.OpenElement("br");
    xml.CloseElement();
    xml.CloseXML();
    EXPECT_NE(Written().find("  <br></br>\r\n"), std::string::npos) << Written();

    QzXML html;
    html.SetTopElement("html");
    EXPECT_TRUE(html.ForceSeparateCloseTag());
    html.SetXMLVersion("<!DOCTYPE html>");
    html.OpenXML(kFile, qzXMLWrite);
    html.OpenElement("p");
    html.CloseElement();
    html.CloseXML();
    EXPECT_EQ(Written(), "<!DOCTYPE html>\r\n <html>\r\n  <p></p>\r\n </html>\r\n");
}

TEST_F(WriterTest, EmptyVersionLineIsWrittenAsAnEmptyLine) {
    xml.SetXMLVersion("");
    xml.SetTopElement("Data");
    xml.OpenXML(kFile, qzXMLWrite);
    xml.CloseXML();
    EXPECT_EQ(Written(), "\r\n <Data />\r\n");
}

TEST_F(WriterTest, AddParmRules) {
    xml.OpenXML(kFile, qzXMLWrite);
    xml.OpenElement("e");
    xml.AddParm("n", 42);
    xml.AddParm("d", 1.5);
    xml.AddParm("b", true);
    xml.AddParm("skipEmpty", "");
    xml.AddParm("skipNull", Variant(automation::Null));
    xml.AddParm("skipNothing", Variant());
    std::string text;
    EXPECT_EQ(ErrorOf([&] { xml.AddParm("arr", automation::StringArray{"x"}); }, &text),
              XmlError(QzXMLErrorBadParm));
    EXPECT_EQ(text, "Invalid Parm Value for XML Element--Cannot be an array");
    EXPECT_EQ(xml.Error(), text);
    xml.AddParm("s", "a<b>&\"c\"");
    xml.CloseElement();
    xml.CloseXML();
    // Escaped once: the value reads back as it was written.
    EXPECT_NE(
        Written().find("<e n=\"42\" d=\"1.5\" b=\"True\" s=\"a&#60;b&#62;&#38;&#34;c&#34;\" />"),
        std::string::npos)
        << Written();
}

TEST_F(WriterTest, WithoutConversionOnlyAnglesOfStringParametersAreEscaped) {
    xml.SetAutoConvertSpecialCharacters(false);
    xml.OpenXML(kFile, qzXMLWrite);
    xml.OpenElement("e", Variant("<b>bold</b> & more"));
    xml.AddParm("s", "a<b & c");
    xml.CloseElement();
    xml.CloseXML();
    EXPECT_NE(Written().find("  <e s=\"a&lt;b & c\"><b>bold</b> & more</e>\r\n"), std::string::npos)
        << Written();
}

TEST_F(WriterTest, ValuesAreConverted) {
    xml.OpenXML(kFile, qzXMLWrite);
    xml.OpenElement("v", Variant("caf\xC3\xA9 \xE2\x82\xAC <x>\r\nline"));
    xml.CloseElement();
    xml.OpenElement("n", Variant(2.5));
    xml.CloseElement();
    xml.CloseXML();
    EXPECT_NE(Written().find("<v>caf&#233; \xE2\x82\xAC &#60;x&#62;&#13;&#10;line</v>"),
              std::string::npos)
        << Written();
    EXPECT_NE(Written().find("<n>2.5</n>"), std::string::npos);
}

TEST_F(WriterTest, CommentsFlushThePendingTagAndAreNotIndented) {
    xml.OpenXML(kFile, qzXMLWrite);
    xml.OpenElement("a");
    xml.ApplyComment("note");
    xml.CloseElement();
    xml.CloseXML();
    EXPECT_EQ(
        Written(),
        "<?xml version=\"1.0\" ?>\r\n <XML>\r\n  <a>\r\n<!-- note -->\r\n  </a>\r\n </XML>\r\n");
}

TEST_F(WriterTest, ElementAndParentElementFollowTheStack) {
    EXPECT_EQ(xml.Element(), "");
    xml.OpenXML(kFile, qzXMLWrite);
    EXPECT_EQ(xml.Element(), "XML");
    EXPECT_EQ(xml.ParentElement(), "");
    xml.OpenElement("Program");
    xml.OpenElement("Name");
    EXPECT_EQ(xml.Element(), "Name");
    EXPECT_EQ(xml.ParentElement(), "Program");
    xml.CloseElement();
    EXPECT_EQ(xml.Element(), "Program");
    xml.CloseXML();
    EXPECT_EQ(xml.Element(), "");
}

TEST_F(WriterTest, ErrorsOfTheWriter) {
    std::string text;
    // Nothing open at all: a write goes to a closed file.
    EXPECT_EQ(ErrorOf([&] { xml.OpenElement("x"); }), automation::BadFileNameOrNumber);
    EXPECT_EQ(ErrorOf([&] { xml.CloseElement(); }, &text), XmlError(QzXMLErrorNoElementOpen));
    EXPECT_EQ(text, "Attempt to close XML element when no elements are open.");

    xml.OpenXML(kFile, qzXMLWrite);
    EXPECT_EQ(ErrorOf([&] { xml.OpenXML("C:\\other.xml", qzXMLRead); }, &text),
              XmlError(QzXMLErrorFileOpen));
    EXPECT_EQ(text, "XML file \"C:\\other.xml\" is already open.");
    EXPECT_TRUE(xml.FileIsOpen());
    EXPECT_EQ(ErrorOf([&] { xml.ReadElement(); }, &text), XmlError(QzXMLErrorFileNotRead));
    EXPECT_EQ(text, "XML file is not open for reading.");
    xml.OpenElement("a");
    xml.CloseElement();
    // A parameter or value with no start tag pending would land on another element.
    EXPECT_EQ(ErrorOf([&] { xml.AddParm("late", 1); }), automation::InvalidProcedureCall);
    EXPECT_EQ(ErrorOf([&] { xml.SetValue("late"); }), automation::InvalidProcedureCall);
    EXPECT_EQ(ErrorOf([&] { xml.OpenElement("v", automation::VariantArray{1}); }),
              automation::TypeMismatch);
    xml.CloseElement();  // XML itself
    EXPECT_EQ(ErrorOf([&] { xml.CloseElement(); }), XmlError(QzXMLErrorNoElementOpen));
    xml.CloseXML();
    EXPECT_EQ(Written(), "<?xml version=\"1.0\" ?>\r\n <XML>\r\n  <a />\r\n </XML>\r\n");
}

TEST_F(WriterTest, OpenTypeMustBeZeroOrOne) {
    std::string text;
    EXPECT_EQ(ErrorOf([&] { xml.OpenXML(kFile, 2); }, &text), XmlError(QzXMLErrorBadOpenType));
    EXPECT_EQ(text, "Invalid XML file open type: 2.\r\nValid types are 0 and 1 only.");
    EXPECT_EQ(ErrorOf([&] { xml.OpenXML(kFile, -1); }), XmlError(QzXMLErrorBadOpenType));
    EXPECT_FALSE(xml.FileIsOpen());
    EXPECT_FALSE(machine.Exists(kFile));
}

TEST_F(WriterTest, TheFileAppearsWholeOnlyWhenClosed) {
    machine.File(kFile, "old content");
    xml.OpenXML(kFile, qzXMLWrite);
    xml.OpenElement("a", Variant("1"));
    xml.CloseElement();
    EXPECT_EQ(Written(), "old content");
    xml.CloseXML();
    EXPECT_EQ(Written(), "<?xml version=\"1.0\" ?>\r\n <XML>\r\n  <a>1</a>\r\n </XML>\r\n");

    {
        QzXML scoped;
        scoped.OpenXML(kFile, qzXMLWrite);
        scoped.OpenElement("gone");
    }
    EXPECT_EQ(Written(), "<?xml version=\"1.0\" ?>\r\n <XML>\r\n  <gone />\r\n </XML>\r\n");
}

TEST_F(WriterTest, FileSystemErrorsAreTheRuntimeOnes) {
    machine.Folder("C:\\folder");
    machine.File("C:\\locked.xml", "keep");
    machine.Attributes("C:\\locked.xml", 1);  // read-only
    const struct {
        const char* path;
        std::int32_t error;
    } cases[] = {
        {"C:\\missing\\out.xml", automation::PathNotFound},
        {"C:\\folder", automation::PathFileAccessError},
        {"C:\\locked.xml", automation::PermissionDenied},
        {"Q:\\out.xml", automation::PathNotFound},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ErrorOf([&] { xml.OpenXML(c.path, qzXMLWrite); }), c.error) << c.path;
        EXPECT_FALSE(xml.FileIsOpen()) << c.path;
    }
    EXPECT_EQ(machine.Read("C:\\locked.xml"), "keep");
}

TEST_F(WriterTest, CreatedByProgID) {
    auto created = automation::CreateObjectAs<QzXML>("qz_xml.qzxml");
    EXPECT_EQ(created->TopElement(), "XML");
    EXPECT_EQ(created->XMLVersion(), "<?xml version=\"1.0\" ?>");
    EXPECT_TRUE(created->AutoConvertSpecialCharacters());
    EXPECT_FALSE(created->ForceSeparateCloseTag());
}

}  // namespace
}  // namespace Qz_XML
