#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "controls/pad/QzPAD.h"
#include "platform/automation/Conversion.h"
#include "platform/automation/CreateObject.h"
#include "platform/automation/Errors.h"
#include "platform/dialogs/ScriptedDialogs.h"
#include "tests/support/MachineBuilder.h"

namespace Qz_PAD {
namespace {

constexpr const char* kFile = "C:\\Program Files\\Velto\\pad_file.xml";

std::int32_t ErrorOf(const std::function<void()>& body) {
    try {
        body();
    } catch (const automation::Error& e) {
        return e.Number();
    }
    return 0;
}

// A PAD file around `inner`, with the usual declaration and CR LF line ends.
std::string Pad(const std::string& inner) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n<XML_DIZ_INFO>\r\n" + inner +
           "\r\n</XML_DIZ_INFO>\r\n";
}

std::string ProgramInfo(const std::string& fields) {
    return " <Program_Info>\r\n" + fields + "\r\n </Program_Info>";
}

std::vector<std::string> Languages(QzPAD& pad) {
    const automation::Variant value = pad.Language();
    const auto* array = value.get_if<automation::StringArray>();
    EXPECT_NE(array, nullptr);
    EXPECT_EQ(array->LBound(), 0);
    return array->Items();
}

class QzPADTest : public ::testing::Test {
  protected:
    void Write(const std::string& contents) {
        machine.File(kFile, contents);
        pad.SetPADFile(kFile);
    }

    testsupport::MachineBuilder machine;
    QzPAD pad;
};

const std::string kTwoLanguages =
    Pad(" <Program_Info>\r\n  <Program_Language>English,German</Program_Language>\r\n"
        " </Program_Info>\r\n"
        " <Program_Descriptions>\r\n"
        "  <English>\r\n   <Keywords>tools</Keywords>\r\n"
        "   <Char_Desc_45>English short</Char_Desc_45>\r\n  </English>\r\n"
        "  <German>\r\n   <Keywords>Werkzeuge</Keywords>\r\n"
        "   <Char_Desc_45>Deutsch kurz</Char_Desc_45>\r\n  </German>\r\n"
        " </Program_Descriptions>");

TEST_F(QzPADTest, DescriptionsByDefaultLanguageAndByName) {
    Write(kTwoLanguages);
    EXPECT_EQ(pad.Char_Desc_45(), "English short");
    EXPECT_EQ(pad.Char_Desc_45("German"), "Deutsch kurz");
    EXPECT_EQ(pad.Char_Desc_45("GERMAN"), "Deutsch kurz");
    EXPECT_EQ(pad.Keywords(), "tools");
    EXPECT_EQ(pad.Keywords("German"), "Werkzeuge");
    EXPECT_EQ(pad.Char_Desc_80(), "");
    EXPECT_EQ(pad.Char_Desc_45("French"), "");
    EXPECT_EQ(Languages(pad), (std::vector<std::string>{"English", "German"}));
    EXPECT_FALSE(pad.InvalidPAD());
}

TEST_F(QzPADTest, DefaultLanguageIsTheTextBeforeTheFirstComma) {
    const struct {
        const char* programLanguage;
        const char* expected;
    } cases[] = {
        {"English,German", "English short"},
        {"English, German", "English short"},
        {"German", "Deutsch kurz"},
        {"&#32;German", ""},  // not trimmed: no section is called " German"
        {"", ""},
    };
    for (const auto& c : cases) {
        std::string text = kTwoLanguages;
        text.replace(text.find("English,German"), 14, c.programLanguage);
        Write(text);
        EXPECT_EQ(pad.Char_Desc_45(), c.expected) << c.programLanguage;
    }
}

TEST_F(QzPADTest, NumbersReadLikeVal) {
    Write(Pad(
        ProgramInfo("  <Program_Release_Month>03</Program_Release_Month>\r\n"
                    "  <Program_Release_Day>2.5</Program_Release_Day>\r\n"
                    "  <Program_Release_Year>2003 AD</Program_Release_Year>\r\n"
                    "  <Program_Cost_Dollars>19.95</Program_Cost_Dollars>\r\n"
                    "  <Program_Cost_Other>19.95</Program_Cost_Other>\r\n"
                    "  <File_Info>\r\n   <File_Size_Bytes>1048576</File_Size_Bytes>\r\n"
                    "   <File_Size_K>12 MB</File_Size_K>\r\n   <File_Size_MB>1.5</File_Size_MB>\r\n"
                    "  </File_Info>\r\n"
                    "  <Expire_Info>\r\n   <Has_Expire_Info>y</Has_Expire_Info>\r\n"
                    "   <Expire_Count>30</Expire_Count>\r\n   <Expire_Month>Dec</Expire_Month>\r\n"
                    "   <Expire_Day>3.5</Expire_Day>\r\n   <Expire_Year>2004</Expire_Year>\r\n"
                    "  </Expire_Info>")));
    EXPECT_EQ(pad.Program_Release_Month(), Mar);
    EXPECT_EQ(pad.Program_Release_Day(), 2);  // halves go to the even number
    EXPECT_EQ(pad.Program_Release_Year(), 2003);
    EXPECT_EQ(pad.Program_Cost_Dollars().scaled, 199500);
    EXPECT_EQ(pad.Program_Cost_Other(), "19.95");
    EXPECT_DOUBLE_EQ(pad.File_Size_Bytes(), 1048576);
    EXPECT_DOUBLE_EQ(pad.File_Size_K(), 12);  // as written, not computed from the bytes
    EXPECT_DOUBLE_EQ(pad.File_Size_MB(), 1.5);
    EXPECT_TRUE(pad.Has_Expire_Info());
    EXPECT_EQ(pad.Expire_Count(), 30);
    EXPECT_EQ(pad.Expire_Month(), 0);  // a month name is no number
    EXPECT_EQ(pad.Expire_Day(), 4);
    EXPECT_EQ(pad.Expire_Year(), 2004);
}

TEST_F(QzPADTest, AbsentAndOddFieldValues) {
    Write(
        Pad(ProgramInfo("  <Program_Cost_Dollars>$19.95</Program_Cost_Dollars>\r\n"
                        "  <Program_Cost_Other>$5</Program_Cost_Other>\r\n"
                        "  <Program_Release_Month>13</Program_Release_Month>\r\n"
                        "  <Expire_Info>\r\n   <Has_Expire_Info>Yes</Has_Expire_Info>\r\n"
                        "  </Expire_Info>")));
    EXPECT_EQ(pad.Program_Cost_Dollars().scaled, 0);
    EXPECT_EQ(pad.Program_Cost_Other(), "0");
    EXPECT_EQ(pad.Program_Release_Month(), 13);  // not checked against 1..12
    EXPECT_FALSE(pad.Has_Expire_Info());
    EXPECT_EQ(pad.Company_Name(), "");
    EXPECT_EQ(pad.Program_Release_Day(), 0);
    EXPECT_DOUBLE_EQ(pad.File_Size_Bytes(), 0);
    EXPECT_FALSE(pad.Includes_JAVA_VM());
    EXPECT_TRUE(Languages(pad).empty());
}

TEST_F(QzPADTest, SixteenBitFieldsOverflow) {
    Write(
        Pad(ProgramInfo("  <Program_Release_Day>40000</Program_Release_Day>\r\n"
                        "  <Program_Release_Year>-32768.5</Program_Release_Year>\r\n"
                        "  <Program_Release_Month>1e12</Program_Release_Month>")));
    EXPECT_EQ(ErrorOf([&] { pad.Program_Release_Day(); }), automation::Overflow);
    EXPECT_EQ(pad.Program_Release_Year(), -32768);
    EXPECT_EQ(ErrorOf([&] { pad.Program_Release_Month(); }), automation::Overflow);
}

TEST_F(QzPADTest, FlagsAndPathsAreExact) {
    Write(
        Pad(" <Program_Info>\r\n  <Includes_JAVA_VM>N</Includes_JAVA_VM>\r\n"
            "  <Includes_VB_Runtime>Y</Includes_VB_Runtime>\r\n"
            "  <Expire_Info>\r\n   <Has_Expire_Info>N</Has_Expire_Info>\r\n  </Expire_Info>\r\n"
            " </Program_Info>\r\n"
            " <Web_Info>\r\n  <Download_URLs>\r\n"
            "   <Primary_Download_URL>http://p/</Primary_Download_URL>\r\n"
            "   <Additional_Download_URL_1>http://one/</Additional_Download_URL_1>\r\n"
            "   <Additional_Download_URL_2>http://two/</Additional_Download_URL_2>\r\n"
            "  </Download_URLs>\r\n </Web_Info>"));
    EXPECT_FALSE(pad.Includes_JAVA_VM());
    EXPECT_TRUE(pad.Includes_VB_Runtime());
    EXPECT_FALSE(pad.Has_Expire_Info());
    EXPECT_EQ(pad.Primary_Download_URL(), "http://p/");
    EXPECT_EQ(pad.Additional_Download_URL_1(), "http://one/");
    EXPECT_EQ(pad.Additional_Download_URL_2(), "http://two/");
    EXPECT_EQ(pad.Secondary_Download_URL(), "");
}

TEST_F(QzPADTest, ExtensionLooksUpAnyPathWithoutRegardToCase) {
    Write(
        Pad(" <COMPANY_INFO>\r\n  <COMPANY_NAME>Acme</COMPANY_NAME>\r\n"
            "  <Contact_Info><Author_Email>a@acme</Author_Email></Contact_Info>\r\n"
            " </COMPANY_INFO>\r\n"
            " <QZABOUT_Disclaimer>No warranty</QZABOUT_Disclaimer>\r\n"
            " <Other>\r\n  <Company_Name>Second</Company_Name>\r\n </Other>\r\n"
            " <Company_Info>\r\n  <Company_Name>Repeated</Company_Name>\r\n </Company_Info>"));
    EXPECT_EQ(pad.Company_Name(), "Acme");
    EXPECT_EQ(pad.Author_Email(), "a@acme");
    EXPECT_EQ(pad.Extension("QZABOUT_Disclaimer"), "No warranty");
    EXPECT_EQ(pad.Extension("qzabout_disclaimer"), "No warranty");
    EXPECT_EQ(pad.Extension("Other", "Company_Name"), "Second");
    // A short path also matches deeper elements; the first in the file wins.
    EXPECT_EQ(pad.Extension("Company_Name"), "Acme");
    EXPECT_EQ(pad.Extension("", "Company_Info", "", "Company_Name"), "Acme");
    EXPECT_EQ(pad.Extension("Contact_Info", "Author_Email"), "a@acme");
    EXPECT_EQ(pad.Extension("XML_DIZ_INFO", "Company_Info", "Company_Name"), "");
    EXPECT_EQ(pad.Extension("Missing"), "");
    EXPECT_EQ(pad.Extension(""), "");
}

TEST_F(QzPADTest, InvalidOuterElement) {
    Write(
        "<?xml version=\"1.0\" ?>\r\n<Something>\r\n <Company_Info>\r\n"
        "  <Company_Name>Acme</Company_Name>\r\n </Company_Info>\r\n</Something>\r\n");
    EXPECT_FALSE(pad.InvalidPAD());  // nothing read yet
    EXPECT_EQ(pad.Company_Name(), "");
    EXPECT_TRUE(pad.InvalidPAD());
    EXPECT_EQ(pad.Program_Release_Year(), 0);
    EXPECT_FALSE(pad.Has_Expire_Info());
    EXPECT_TRUE(Languages(pad).empty());
    // An invalid file is read again on every access, without setting PADFile again.
    machine.File(kFile, Pad(" <Company_Info>\r\n  <Company_Name>Acme</Company_Name>\r\n"
                            " </Company_Info>"));
    EXPECT_EQ(pad.Company_Name(), "Acme");
    EXPECT_FALSE(pad.InvalidPAD());
    // A valid file is read once per path setting.
    machine.File(kFile, Pad(" <Company_Info>\r\n  <Company_Name>New</Company_Name>\r\n"
                            " </Company_Info>"));
    EXPECT_EQ(pad.Company_Name(), "Acme");
    pad.SetPADFile(kFile);
    EXPECT_EQ(pad.Company_Name(), "New");
}

TEST_F(QzPADTest, OuterElementNameInAnotherCase) {
    Write(
        "<xml_diz_info><Company_Info><Company_Name>x</Company_Name></Company_Info>"
        "</xml_diz_info>");
    EXPECT_EQ(pad.Company_Name(), "x");
    EXPECT_FALSE(pad.InvalidPAD());
}

TEST_F(QzPADTest, MissingFileRaisesTheXMLError) {
    pad.SetPADFile("C:\\nowhere.xml");
    EXPECT_EQ(ErrorOf([&] { pad.Company_Name(); }),
              automation::vbObjectError + Qz_XML::QzXMLErrorFileDoesNotExist);
    QzPAD unset;
    EXPECT_EQ(ErrorOf([&] { unset.Program_Name(); }),
              automation::vbObjectError + Qz_XML::QzXMLErrorFileDoesNotExist);
}

TEST_F(QzPADTest, NestingDeeperThanFourLevelsIsAClearError) {
    Write(Pad("<a><b><c><d>ok</d></c></b></a>"));
    EXPECT_EQ(pad.Extension("a", "b", "c", "d"), "ok");
    Write(Pad("<a><b><c><d><e>too deep</e></d></c></b></a>"));
    EXPECT_EQ(ErrorOf([&] { pad.Company_Name(); }), automation::SubscriptOutOfRange);
    // The failed load left nothing open: the next access fails the same way.
    EXPECT_EQ(ErrorOf([&] { pad.Company_Name(); }), automation::SubscriptOutOfRange);
    Write(Pad("</x></y><z>stray</z>"));
    EXPECT_EQ(ErrorOf([&] { pad.Company_Name(); }), automation::SubscriptOutOfRange);
    Write(Pad("<a><b><c><d/><d x=\"1\" /></c></b></a><Company_Name>after</Company_Name>"));
    EXPECT_EQ(pad.Extension("Company_Name"), "after");
}

// A file as PAD editors and download sites write them: Windows-1252, tab indentation, LF line
// ends, comments in several places, the version-info block, PAD 4.0 fields, empty elements.
TEST_F(QzPADTest, RealWorldStyleFileLoads) {
    Write(
        "<?xml version=\"1.0\" encoding=\"Windows-1252\" ?>\n"
        "<!-- PAD file generated by a PAD editor -->\n"
        "<!-- second comment before the root -->\n"
        "<XML_DIZ_INFO>\n"
        "\t<MASTER_PAD_VERSION_INFO>\n"
        "\t\t<MASTER_PAD_VERSION>4.0</MASTER_PAD_VERSION>\n"
        "\t\t<MASTER_PAD_EDITOR>PAD editor 3.1</MASTER_PAD_EDITOR>\n"
        "\t\t<MASTER_PAD_INFO>Portable Application Description, or PAD for short</"
        "MASTER_PAD_INFO>\n"
        "\t</MASTER_PAD_VERSION_INFO>\n"
        "\t<!-- the company -->\n"
        "\t<Company_Info>\n"
        "\t\t<Company_Name>Caf\xE9 Software &amp; Co</Company_Name>\n"
        "\t\t<!-- one -->\n\t\t<!-- two -->\n"
        "\t\t<Address_1>Main St.</Address_1>\n"
        "\t\t<Address_2/>\n"
        "\t\t<City_Town />\n"
        "\t\t<Contact_Info>\n"
        "\t\t\t<Author_First_Name>Jos\xE9</Author_First_Name>\n"
        "\t\t</Contact_Info>\n"
        "\t</Company_Info>\n"
        "\t<Program_Info>\n"
        "\t\t<Program_Name>Widget \x96 Pro</Program_Name>\n"
        "\t\t<Program_Version>2.1.0</Program_Version>\n"
        "\t\t<Program_Release_Month>03</Program_Release_Month>\n"
        "\t\t<Program_Language>English,German</Program_Language>\n"
        "\t\t<Program_Target_PlatForm>Win32</Program_Target_PlatForm>\n"
        "\t\t<File_Info>\n"
        "\t\t\t<File_Size_Bytes>2097152</File_Size_Bytes>\n"
        "\t\t\t<File_Size_K>2048</File_Size_K>\n"
        "\t\t</File_Info>\n"
        "\t</Program_Info>\n"
        "\t<Program_Descriptions>\n"
        "\t\t<English>\n"
        "\t\t\t<Keywords>widget, tool</Keywords>\n"
        "\t\t\t<Char_Desc_45>Makes widgets</Char_Desc_45>\n"
        "\t\t\t<Char_Desc_2000>Line one\n\tindented\nLine three</Char_Desc_2000>\n"
        "\t\t</English>\n"
        "\t\t<German>\n"
        "\t\t\t<Char_Desc_45>Macht Widgets f\xFCr Sie</Char_Desc_45>\n"
        "\t\t</German>\n"
        "\t</Program_Descriptions>\n"
        "\t<Web_Info>\n"
        "\t\t<Download_URLs>\n"
        "\t\t\t<Primary_Download_URL>http://x/?a=1&amp;b=2</Primary_Download_URL>\n"
        "\t\t</Download_URLs>\n"
        "\t</Web_Info>\n"
        "\t<Permissions>\n"
        "\t\t<EULA>Terms:\n\t1. Use it.\n\t2. Enjoy it.</EULA>\n"
        "\t</Permissions>\n"
        "\t<Affiliates>\n"
        "\t\t<Affiliates_FORM>Y</Affiliates_FORM>\n"
        "\t\t<Affiliates_Avangate>\n"
        "\t\t\t<Affiliates_Avangate_Order_Page></Affiliates_Avangate_Order_Page>\n"
        "\t\t</Affiliates_Avangate>\n"
        "\t</Affiliates>\n"
        "</XML_DIZ_INFO>\n");
    EXPECT_EQ(pad.Company_Name(), "Caf\xC3\xA9 Software & Co");
    EXPECT_FALSE(pad.InvalidPAD());
    EXPECT_EQ(pad.Address_1(), "Main St.");
    EXPECT_EQ(pad.Address_2(), "");
    EXPECT_EQ(pad.Author_First_Name(), "Jos\xC3\xA9");
    EXPECT_EQ(pad.Program_Name(), "Widget \xE2\x80\x93 Pro");
    EXPECT_EQ(pad.Program_Version(), "2.1.0");
    EXPECT_EQ(pad.Program_Release_Month(), Mar);
    EXPECT_DOUBLE_EQ(pad.File_Size_K(), 2048);
    EXPECT_EQ(pad.Char_Desc_45(), "Makes widgets");
    EXPECT_EQ(pad.Char_Desc_2000(), "Line one\n\tindented\nLine three");
    EXPECT_EQ(pad.Char_Desc_45("German"), "Macht Widgets f\xC3\xBCr Sie");
    EXPECT_EQ(Languages(pad), (std::vector<std::string>{"English", "German"}));
    EXPECT_EQ(pad.Primary_Download_URL(), "http://x/?a=1&b=2");
    EXPECT_EQ(pad.EULA(), "Terms:\n\t1. Use it.\n\t2. Enjoy it.");
    EXPECT_EQ(pad.Extension("MASTER_PAD_VERSION_INFO", "MASTER_PAD_VERSION"), "4.0");
    EXPECT_EQ(pad.Extension("Affiliates", "Affiliates_FORM"), "Y");
}

TEST_F(QzPADTest, LanguagesAreTheSectionsDirectlyInsideTheDescriptions) {
    Write(
        Pad(" <Program_Descriptions>\r\n"
            "  <English>\r\n   <Char_Desc_45>e</Char_Desc_45>\r\n"
            "   <Description_Summary>extra</Description_Summary>\r\n  </English>\r\n"
            "  <French><Keywords>f</Keywords></French>\r\n"
            "  <German/>\r\n"
            " </Program_Descriptions>\r\n"
            " <Other><Spanish>not a description</Spanish></Other>"));
    EXPECT_EQ(Languages(pad), (std::vector<std::string>{"English", "French", "German"}));
    EXPECT_EQ(pad.Keywords("French"), "f");
}

TEST_F(QzPADTest, PropertiesAndEvents) {
    std::vector<std::string> changed;
    pad.PropertyChanged.Connect([&](const std::string& name) { changed.push_back(name); });
    pad.SetPADFile("C:\\a.xml");
    EXPECT_EQ(changed, std::vector<std::string>{"PADFile"});

    automation::PropertyBag bag;
    QzPAD().WriteProperties(bag);
    EXPECT_TRUE(bag.Properties().empty());
    pad.WriteProperties(bag);
    EXPECT_EQ(bag.ReadProperty("PADFile"), automation::Variant("C:\\a.xml"));
    QzPAD restored;
    restored.ReadProperties(bag);
    EXPECT_EQ(restored.PADFile(), "C:\\a.xml");

    auto created = automation::CreateObjectAs<QzPAD>("Qz_PAD.QzPAD");
    EXPECT_EQ(created->PADFile(), "");
}

TEST_F(QzPADTest, AboutDisplay) {
    auto scripted = std::make_shared<dialogs::ScriptedDialogs>();
    dialogs::ScopedBackend backend(scripted);
    pad.AboutDisplay();
    ASSERT_EQ(scripted->MsgBoxes().size(), 1u);
    EXPECT_EQ(scripted->MsgBoxes()[0].title, "About QzPAD");
    EXPECT_TRUE(scripted->MsgBoxes()[0].prompt.starts_with("QzPAD\r\nby Korvane\r\n"));
}

}  // namespace
}  // namespace Qz_PAD
