#include "controls/pad/QzPAD.h"

#include <algorithm>

#include "platform/automation/Conversion.h"
#include "platform/automation/CreateObject.h"
#include "platform/automation/Errors.h"
#include "platform/automation/Text.h"
#include "platform/dialogs/ControlAbout.h"

namespace Qz_PAD {
namespace {

using automation::Variant;

const automation::ProgIDRegistration kRegistration(QzPAD::kProgID,
                                                   [] { return std::make_shared<QzPAD>(); });

constexpr const char* kOuterElement = "XML_DIZ_INFO";

bool IsDescriptionField(const std::string& upperName) {
    static const char* const kFields[] = {"KEYWORDS",      "CHAR_DESC_45",  "CHAR_DESC_80",
                                          "CHAR_DESC_250", "CHAR_DESC_450", "CHAR_DESC_2000"};
    const std::string_view bare = std::string_view(upperName).substr(upperName.starts_with("/"));
    return std::any_of(std::begin(kFields), std::end(kFields),
                       [&](const char* field) { return bare == field; });
}

std::int16_t Whole16(const std::string& text) {
    return automation::CInt(automation::Val(text));
}

Months MonthOf(const std::string& text) {
    return static_cast<Months>(automation::CLng(automation::Val(text)));
}

}  // namespace

QzPAD::QzPAD() = default;

void QzPAD::SetPADFile(const std::string& value) {
    padFile_ = value;
    loaded_ = false;
    PropertyChanged("PADFile");
}

void QzPAD::EnsureLoaded() {
    if (!loaded_) {
        LoadPAD();
    }
}

void QzPAD::LoadPAD() {
    records_.clear();
    index_.clear();
    languages_.clear();
    xml_.OpenXML(padFile_, Qz_XML::qzXMLRead);
    if (automation::UCase(xml_.TopElement()) != kOuterElement) {
        invalid_ = true;
        xml_.CloseXML();
        return;
    }
    invalid_ = false;
    try {
        ReadRecords();
    } catch (...) {
        xml_.CloseXML();
        records_.clear();
        languages_.clear();
        throw;
    }
    xml_.CloseXML();
    index_.resize(records_.size());
    for (std::size_t i = 0; i < index_.size(); ++i) {
        index_[i] = i;
    }
    std::stable_sort(index_.begin(), index_.end(), [this](std::size_t a, std::size_t b) {
        return automation::CompareIgnoreCase(records_[a].names[0], records_[b].names[0]) < 0;
    });
    loaded_ = true;
}

void QzPAD::ReadRecords() {
    std::string names[kLevels];
    int depth = 0;
    // Depth of Program_Descriptions while inside it; its children are the languages.
    int descriptionsDepth = 0;
    while (!xml_.XMLEOF()) {
        const std::string name = xml_.ReadElement();
        const std::string upper = automation::UCase(name);
        // Comments, processing instructions and declarations are no elements: they neither
        // open a level nor close one.
        const bool element = !name.starts_with("!") && !name.starts_with("?");
        if (element && name.starts_with("/")) {
            if (descriptionsDepth > 0 && upper == "/PROGRAM_DESCRIPTIONS" &&
                depth == descriptionsDepth) {
                descriptionsDepth = 0;
            }
            --depth;
        } else if (element) {
            ++depth;
            if (depth < 1 || depth > kLevels) {
                automation::Raise(automation::SubscriptOutOfRange, kProgID,
                                  "Subscript out of range: the PAD element \"" + name +
                                      "\" is not nested within one to four levels below " +
                                      kOuterElement);
            }
            names[depth - 1] = name;
            if (descriptionsDepth == 0 && upper == "PROGRAM_DESCRIPTIONS") {
                descriptionsDepth = depth;
            } else if (descriptionsDepth > 0 && depth == descriptionsDepth + 1 &&
                       !IsDescriptionField(upper)) {
                languages_.push_back(name);
            }
        }
        const std::string text = automation::CStr(xml_.Value());
        if (!text.empty() && depth >= 1 && depth <= kLevels) {
            Record record;
            record.text = text;
            for (int level = depth; level >= 1; --level) {
                record.names[depth - level] = names[level - 1];
            }
            records_.push_back(std::move(record));
        }
    }
}

std::string QzPAD::FindRecord(const std::vector<std::string>& path) const {
    const auto first = std::lower_bound(
        index_.begin(), index_.end(), path[0], [this](std::size_t record, const std::string& key) {
            return automation::CompareIgnoreCase(records_[record].names[0], key) < 0;
        });
    for (auto it = first;
         it != index_.end() && automation::EqualsIgnoreCase(records_[*it].names[0], path[0]);
         ++it) {
        const Record& record = records_[*it];
        bool match = true;
        for (std::size_t level = 1; level < path.size() && match; ++level) {
            match = automation::EqualsIgnoreCase(record.names[level], path[level]);
        }
        if (match) {
            return record.text;
        }
    }
    return {};
}

std::string QzPAD::Extension(const std::string& sNode1, const std::string& sNode2,
                             const std::string& sNode3, const std::string& sNode4) {
    EnsureLoaded();
    std::vector<std::string> path;
    for (const std::string* node : {&sNode4, &sNode3, &sNode2, &sNode1}) {
        if (!node->empty()) {
            path.push_back(*node);
        }
    }
    if (invalid_ || path.empty()) {
        return {};
    }
    return FindRecord(path);
}

Variant QzPAD::Language() {
    EnsureLoaded();
    return automation::StringArray(invalid_ ? std::vector<std::string>() : languages_, 0);
}

std::string QzPAD::DefaultLanguage() {
    const std::string language = Program_Language();
    return language.substr(0, language.find(','));
}

std::string QzPAD::Description(const std::string& language, const char* field) {
    return Extension("Program_Descriptions", language.empty() ? DefaultLanguage() : language,
                     field);
}

bool QzPAD::Flag(const std::string& a, const std::string& b, const std::string& c) {
    return automation::UCase(Text(a, b, c)) == "Y";
}

Months QzPAD::Program_Release_Month() {
    return MonthOf(Text("Program_Info", "Program_Release_Month"));
}

std::int16_t QzPAD::Program_Release_Day() {
    return Whole16(Text("Program_Info", "Program_Release_Day"));
}

std::int16_t QzPAD::Program_Release_Year() {
    return Whole16(Text("Program_Info", "Program_Release_Year"));
}

automation::Currency QzPAD::Program_Cost_Dollars() {
    return automation::CCur(automation::Val(Text("Program_Info", "Program_Cost_Dollars")));
}

std::string QzPAD::Program_Cost_Other() {
    return automation::CStr(automation::Val(Text("Program_Info", "Program_Cost_Other")));
}

double QzPAD::File_Size_Bytes() {
    return automation::Val(FileInfo("File_Size_Bytes"));
}
double QzPAD::File_Size_K() {
    return automation::Val(FileInfo("File_Size_K"));
}
double QzPAD::File_Size_MB() {
    return automation::Val(FileInfo("File_Size_MB"));
}

std::int16_t QzPAD::Expire_Count() {
    return Whole16(Text("Program_Info", "Expire_Info", "Expire_Count"));
}

std::int16_t QzPAD::Expire_Day() {
    return Whole16(Text("Program_Info", "Expire_Info", "Expire_Day"));
}

std::int16_t QzPAD::Expire_Year() {
    return Whole16(Text("Program_Info", "Expire_Info", "Expire_Year"));
}

Months QzPAD::Expire_Month() {
    return MonthOf(Text("Program_Info", "Expire_Info", "Expire_Month"));
}

void QzPAD::ReadProperties(const automation::PropertyBag& bag) {
    padFile_ = automation::CStr(bag.ReadProperty("PADFile", ""));
    loaded_ = false;
}

void QzPAD::WriteProperties(automation::PropertyBag& bag) const {
    bag.WriteProperty("PADFile", padFile_, Variant(""));
}

void QzPAD::AboutDisplay() const {
    dialogs::ShowControlAbout(dialogs::MakerVersion("QzPAD"));
}

}  // namespace Qz_PAD
