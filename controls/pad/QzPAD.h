// QzPAD: every field of a PAD file (the Portable Application Description XML format) as a
// read-only property.
//
// The host sets PADFile (a Windows path); the first field read loads the whole file through
// the contained QzXML into records (the element's text and the names of up to four levels,
// innermost first, below the outermost XML_DIZ_INFO), and every field is then a lookup in a
// sorted index. A file whose outermost element is not XML_DIZ_INFO makes InvalidPAD True and
// every field empty, and is read again on every access; a missing file raises the XML
// control's "does not exist" error; an element nested more than four levels deep raises run-time
// error 9. Comments, the declaration and empty-element tags do not disturb the nesting.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "controls/xml/QzXML.h"
#include "platform/automation/Events.h"
#include "platform/automation/Object.h"
#include "platform/automation/PropertyBag.h"
#include "platform/automation/Variant.h"

namespace Qz_PAD {

enum Months : std::int32_t {
    Jan = 1,
    Feb = 2,
    Mar = 3,
    Apr = 4,
    May = 5,
    Jun = 6,
    Jul = 7,
    Aug = 8,
    Sep = 9,
    Oct = 10,
    Nov = 11,
    Dec = 12,
};

class QzPAD : public automation::Object {
  public:
    static constexpr const char* kProgID = "Qz_PAD.QzPAD";
    static constexpr int kLevels = 4;

    QzPAD();
    QzPAD(const QzPAD&) = delete;
    QzPAD& operator=(const QzPAD&) = delete;

    const std::string& PADFile() const { return padFile_; }
    // Stores the path; nothing is read until a field is.
    void SetPADFile(const std::string& value);
    // The state of the last load; reading it loads nothing.
    bool InvalidPAD() const { return invalid_; }

    // The text of the element at the path given from the outer element inward (empty
    // arguments are skipped); "" for an invalid file or a path no element has.
    std::string Extension(const std::string& sNode1, const std::string& sNode2 = {},
                          const std::string& sNode3 = {}, const std::string& sNode4 = {});
    // The language sections of Program_Descriptions in file order, as an array from 0.
    automation::Variant Language();

    // Company_Info
    std::string Company_Name() { return Text("Company_Info", "Company_Name"); }
    std::string Address_1() { return Text("Company_Info", "Address_1"); }
    std::string Address_2() { return Text("Company_Info", "Address_2"); }
    std::string City_Town() { return Text("Company_Info", "City_Town"); }
    std::string State_Province() { return Text("Company_Info", "State_Province"); }
    std::string Zip_Postal_Code() { return Text("Company_Info", "Zip_Postal_Code"); }
    std::string Country() { return Text("Company_Info", "Country"); }
    std::string Company_WebSite_URL() { return Text("Company_Info", "Company_WebSite_URL"); }
    // Company_Info, Contact_Info
    std::string Author_First_Name() { return Contact("Author_First_Name"); }
    std::string Author_Last_Name() { return Contact("Author_Last_Name"); }
    std::string Author_Email() { return Contact("Author_Email"); }
    std::string Contact_First_Name() { return Contact("Contact_First_Name"); }
    std::string Contact_Last_Name() { return Contact("Contact_Last_Name"); }
    std::string Contact_Email() { return Contact("Contact_Email"); }
    // Company_Info, Support_Info
    std::string Sales_Email() { return Support("Sales_Email"); }
    std::string Support_Email() { return Support("Support_Email"); }
    std::string General_Email() { return Support("General_Email"); }
    std::string Sales_Phone() { return Support("Sales_Phone"); }
    std::string Support_Phone() { return Support("Support_Phone"); }
    std::string General_Phone() { return Support("General_Phone"); }
    std::string Fax_Phone() { return Support("Fax_Phone"); }
    // Program_Info
    std::string Program_Name() { return Text("Program_Info", "Program_Name"); }
    std::string Program_Version() { return Text("Program_Info", "Program_Version"); }
    std::string Program_Type() { return Text("Program_Info", "Program_Type"); }
    std::string Program_Release_Status() { return Text("Program_Info", "Program_Release_Status"); }
    std::string Program_Install_Support() {
        return Text("Program_Info", "Program_Install_Support");
    }
    std::string Program_OS_Support() { return Text("Program_Info", "Program_OS_Support"); }
    std::string Program_Language() { return Text("Program_Info", "Program_Language"); }
    std::string Program_Change_Info() { return Text("Program_Info", "Program_Change_Info"); }
    std::string Program_System_Requirements() {
        return Text("Program_Info", "Program_System_Requirements");
    }
    std::string Program_Specific_Category() {
        return Text("Program_Info", "Program_Specific_Category");
    }
    std::string Program_Categories() { return Text("Program_Info", "Program_Categories"); }
    // Not checked against 1..12: a text that is no month number gives its number, 0 for none.
    Months Program_Release_Month();
    std::int16_t Program_Release_Day();
    std::int16_t Program_Release_Year();
    automation::Currency Program_Cost_Dollars();
    // The number read from the text, as text again ("19.95" stays, "$19.95" gives "0").
    std::string Program_Cost_Other();
    bool Includes_JAVA_VM() { return Flag("Program_Info", "Includes_JAVA_VM"); }
    bool Includes_VB_Runtime() { return Flag("Program_Info", "Includes_VB_Runtime"); }
    bool Includes_DirectX() { return Flag("Program_Info", "Includes_DirectX"); }
    // Program_Info, File_Info
    std::string Filename_Versioned() { return FileInfo("Filename_Versioned"); }
    std::string Filename_Previous() { return FileInfo("Filename_Previous"); }
    std::string Filename_Generic() { return FileInfo("Filename_Generic"); }
    std::string Filename_Long() { return FileInfo("Filename_Long"); }
    // Each as written in its own element; none is computed from another.
    double File_Size_Bytes();
    double File_Size_K();
    double File_Size_MB();
    // Program_Info, Expire_Info
    bool Has_Expire_Info() { return Flag("Program_Info", "Expire_Info", "Has_Expire_Info"); }
    std::int16_t Expire_Count();
    std::int16_t Expire_Day();
    std::int16_t Expire_Year();
    Months Expire_Month();
    std::string Expire_Based_On() { return Text("Program_Info", "Expire_Info", "Expire_Based_On"); }
    std::string Expire_Other_Info() {
        return Text("Program_Info", "Expire_Info", "Expire_Other_Info");
    }
    // Web_Info, Application_URLs
    std::string Application_Info_URL() { return ApplicationURL("Application_Info_URL"); }
    std::string Application_Order_URL() { return ApplicationURL("Application_Order_URL"); }
    std::string Application_Screenshot_URL() {
        return ApplicationURL("Application_Screenshot_URL");
    }
    std::string Application_Icon_URL() { return ApplicationURL("Application_Icon_URL"); }
    std::string Application_XML_File_URL() { return ApplicationURL("Application_XML_File_URL"); }
    // Web_Info, Download_URLs
    std::string Primary_Download_URL() { return DownloadURL("Primary_Download_URL"); }
    std::string Secondary_Download_URL() { return DownloadURL("Secondary_Download_URL"); }
    std::string Additional_Download_URL_1() { return DownloadURL("Additional_Download_URL_1"); }
    std::string Additional_Download_URL_2() { return DownloadURL("Additional_Download_URL_2"); }
    // Permissions
    std::string Distribution_Permissions() {
        return Text("Permissions", "Distribution_Permissions");
    }
    std::string EULA() { return Text("Permissions", "EULA"); }
    // Program_Descriptions, {language}: an empty language is the default one, the text of
    // Program_Language up to its first comma.
    std::string Keywords(const std::string& sLanguage = {}) {
        return Description(sLanguage, "Keywords");
    }
    std::string Char_Desc_45(const std::string& sLanguage = {}) {
        return Description(sLanguage, "Char_Desc_45");
    }
    std::string Char_Desc_80(const std::string& sLanguage = {}) {
        return Description(sLanguage, "Char_Desc_80");
    }
    std::string Char_Desc_250(const std::string& sLanguage = {}) {
        return Description(sLanguage, "Char_Desc_250");
    }
    std::string Char_Desc_450(const std::string& sLanguage = {}) {
        return Description(sLanguage, "Char_Desc_450");
    }
    std::string Char_Desc_2000(const std::string& sLanguage = {}) {
        return Description(sLanguage, "Char_Desc_2000");
    }

    void ReadProperties(const automation::PropertyBag& bag);
    void WriteProperties(automation::PropertyBag& bag) const;
    void AboutDisplay() const;

    automation::PropertyChangedEvent PropertyChanged;

  private:
    struct Record {
        std::string text;
        std::string names[kLevels];  // innermost first; "" where there is no such level
    };

    void EnsureLoaded();
    void LoadPAD();
    void ReadRecords();
    std::string FindRecord(const std::vector<std::string>& pathInnermostFirst) const;
    std::string DefaultLanguage();

    std::string Text(const std::string& a, const std::string& b, const std::string& c = {}) {
        return Extension(a, b, c);
    }
    std::string Contact(const char* field) { return Text("Company_Info", "Contact_Info", field); }
    std::string Support(const char* field) { return Text("Company_Info", "Support_Info", field); }
    std::string FileInfo(const char* field) { return Text("Program_Info", "File_Info", field); }
    std::string ApplicationURL(const char* field) {
        return Text("Web_Info", "Application_URLs", field);
    }
    std::string DownloadURL(const char* field) { return Text("Web_Info", "Download_URLs", field); }
    bool Flag(const std::string& a, const std::string& b, const std::string& c = {});
    std::string Description(const std::string& language, const char* field);

    std::string padFile_;
    bool loaded_ = false;
    bool invalid_ = false;
    std::vector<Record> records_;
    std::vector<std::size_t> index_;
    std::vector<std::string> languages_;
    Qz_XML::QzXML xml_;
};

}  // namespace Qz_PAD
