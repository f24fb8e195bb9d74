#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "controls/xml/QzXML.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/dialogs/ScriptedDialogs.h"
#include "tests/controls/xml/XMLTestSupport.h"
#include "tests/support/MachineBuilder.h"

namespace Qz_XML {
namespace {

using automation::Variant;
using xmltest::ErrorOf;
using xmltest::XmlError;

TEST(QzXMLConversion, XMLConvertText) {
    const QzXML xml;
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"a<b", "a&#60;b"},
        {"&", "&#38;"},
        {"\"", "&#34;"},
        {"\t", "&#9;"},
        {"a>b", "a&#62;b"},
        {"'", "'"},
        {"\r\n", "&#13;&#10;"},
        {"\xC2\xA0\xC3\xBF", "&#160;&#255;"},
        {"\xC2\x80\xC2\x9F", "\xC2\x80\xC2\x9F"},  // codes 128..159 stay
        {"\xE2\x82\xAC \xE4\xB8\xAD", "\xE2\x82\xAC \xE4\xB8\xAD"},
        {"caf\xE9", "caf&#233;"},  // a stray Windows-1252 byte
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(xml.XMLConvertText(c.in), c.out) << c.in;
    }
}

TEST(QzXMLConversion, XMLUnConvertText) {
    const QzXML xml;
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"&lt;x&gt;", "<x>"},
        {"&eacute;&eacute;", "\xC3\xA9\xC3\xA9"},
        {"&curren;", "\xC2\xA4"},
        {"&#65;", "A"},
        {"&#x41;", "A"},
        {"&quot;&apos;&amp;", "\"'&"},
        {"&nbsp;&yuml;&Agrave;", "\xC2\xA0\xC3\xBF\xC3\x80"},
        {"&brkbar;&die;&hibar;", "\xC2\xA6\xC2\xA8\xC2\xAF"},
        {"a & b", "a & b"},  // no ";" close enough: the "&" stays
        {"fish &chips and more;", "fish &chips and more;"},
        {"&foo;", "&foo"},            // unknown: copied without its ";"
        {"&l;", "<"},                 // the first entry beginning with "&l"
        {"&#8217;", "\xE2\x80\x99"},  // any Unicode character
        // 128..159 in the system's code page, by decimal or hexadecimal code; the five codes
        // that Windows-1252 leaves free keep their own value.
        {"&#146;&#150;&#133;&#128;", "\xE2\x80\x99\xE2\x80\x93\xE2\x80\xA6\xE2\x82\xAC"},
        {"&#x92;&#159;", "\xE2\x80\x99\xC5\xB8"},
        {"&#129;&#157;", "\xC2\x81\xC2\x9D"},
        {"&#127;&#160;", "\x7F\xC2\xA0"},
        {"&#128512;", "\xF0\x9F\x98\x80"},
        {"&#1114112;", "&#1114112"},  // beyond Unicode: unknown
        {"&#55296;", "&#55296"},      // a surrogate is no character
        {"&#;", "&#"},
        {"&", "&"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(xml.XMLUnConvertText(c.in), c.out) << c.in;
    }
    // Every one of the 96 names comes back to its own code.
    for (char32_t code = 160; code <= 255; ++code) {
        const std::string ref = "&#" + std::to_string(static_cast<unsigned>(code)) + ";";
        const std::string character = xml.XMLUnConvertText(ref);
        EXPECT_EQ(xml.XMLConvertText(character), ref);
    }
}

TEST(QzXMLProperties, SettersCheckTheirValues) {
    testsupport::MachineBuilder machine;
    QzXML xml;
    std::vector<std::string> changed;
    xml.PropertyChanged.Connect([&](const std::string& name) { changed.push_back(name); });

    std::string text;
    EXPECT_EQ(ErrorOf([&] { xml.SetXMLVersion("abc"); }, &text), XmlError(QzXMLErrorVerFormat));
    EXPECT_EQ(text, "XML Version Data must begin with \"<?\" or \"<!\" and end with \">\"");
    EXPECT_EQ(xml.XMLVersion(), "<?xml version=\"1.0\" ?>");
    for (const char* good : {"", "  <?xml version=\"1.1\"?>  ", "<!DOCTYPE html>"}) {
        EXPECT_EQ(ErrorOf([&] { xml.SetXMLVersion(good); }), 0) << good;
        EXPECT_EQ(xml.XMLVersion(), good);
    }
    for (const char* bad : {"<xml>", "<?xml", "?>", " x <?a>"}) {
        EXPECT_EQ(ErrorOf([&] { xml.SetXMLVersion(bad); }), XmlError(QzXMLErrorVerFormat)) << bad;
    }
    xml.SetTopElement("HtMl");
    EXPECT_TRUE(xml.ForceSeparateCloseTag());
    xml.SetTopElement("Data");
    EXPECT_TRUE(xml.ForceSeparateCloseTag());  // switched on, never off again by the name

    xml.OpenXML("C:\\x.xml", qzXMLWrite);
    EXPECT_EQ(ErrorOf([&] { xml.SetXMLVersion("<?y?>"); }, &text), XmlError(QzXMLErrorVer));
    EXPECT_EQ(text, "XML Version Data cannot be changed after file is opened");
    EXPECT_EQ(ErrorOf([&] { xml.SetTopElement("Other"); }, &text), XmlError(QzXMLErrorTopChange));
    EXPECT_EQ(text, "Top Level Element cannot be changed after file is opened.");
    EXPECT_EQ(xml.TopElement(), "Data");
    xml.CloseXML();
    EXPECT_EQ(changed,
              (std::vector<std::string>{"XMLVersion", "XMLVersion", "XMLVersion", "TopElement",
                                        "ForceSeparateCloseTag", "TopElement"}));
}

TEST(QzXMLProperties, PropertyBagKeepsOnlyWhatDiffersFromTheDefaults) {
    QzXML xml;
    automation::PropertyBag bag;
    xml.WriteProperties(bag);
    EXPECT_TRUE(bag.Properties().empty());

    xml.SetTopElement("PAD");
    xml.SetAutoConvertSpecialCharacters(false);
    xml.WriteProperties(bag);
    EXPECT_EQ(bag.ReadProperty("TopElement"), Variant("PAD"));
    EXPECT_EQ(bag.ReadProperty("AutoConvertSpecialCharacters"), Variant(false));
    EXPECT_FALSE(bag.Contains("XMLVersion"));

    // Stored values come back without the setters' checks.
    bag.WriteProperty("XMLVersion", "not checked");
    QzXML restored;
    restored.ReadProperties(bag);
    EXPECT_EQ(restored.XMLVersion(), "not checked");
    EXPECT_EQ(restored.TopElement(), "PAD");
    EXPECT_FALSE(restored.AutoConvertSpecialCharacters());
    EXPECT_FALSE(restored.ForceSeparateCloseTag());
}

TEST(QzXMLAbout, ShowsTheVersionInformation) {
    auto scripted = std::make_shared<dialogs::ScriptedDialogs>();
    dialogs::ScopedBackend backend(scripted);
    QzXML().AboutDisplay();
    const auto boxes = scripted->MsgBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "About QzXML");
    EXPECT_EQ(boxes[0].style, dialogs::vbInformation);
    EXPECT_EQ(boxes[0].prompt.substr(0, boxes[0].prompt.find("\r\n\r\n")),
              "QzXML\r\nby Korvane\r\nCopyright (C) 2026 Korvane");
    EXPECT_NE(boxes[0].prompt.find("\r\n\r\nQzXML is a trademark of Korvane\r\nhttp"),
              std::string::npos)
        << boxes[0].prompt;
}

}  // namespace
}  // namespace Qz_XML
