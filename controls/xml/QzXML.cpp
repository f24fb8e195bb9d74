#include "controls/xml/QzXML.h"

#include <iostream>

#include "controls/xml/XMLText.h"
#include "platform/automation/Conversion.h"
#include "platform/automation/CreateObject.h"
#include "platform/automation/Errors.h"
#include "platform/automation/Text.h"
#include "platform/dialogs/ControlAbout.h"
#include "platform/win32/kernel32/AtomicFile.h"
#include "platform/win32/kernel32/FileAttributes.h"
#include "platform/win32/kernel32/Paths.h"
#include "platform/win32/ntdll/HostFiles.h"
#include "platform/win32/ntdll/LastError.h"

namespace Qz_XML {
namespace {

using automation::Variant;

const automation::ProgIDRegistration kRegistration(QzXML::kProgID,
                                                   [] { return std::make_shared<QzXML>(); });

[[noreturn]] void RaisePlatform(std::int32_t number) {
    automation::Raise(number, QzXML::kProgID);
}

bool HasValue(const Variant& value) {
    return !value.IsNull() && !automation::CStr(value).empty();
}

void RequireText(const Variant& value) {
    if (value.IsArray() || value.IsObject()) {
        automation::Raise(automation::TypeMismatch, QzXML::kProgID);
    }
}

}  // namespace

struct QzXML::Writer {
    explicit Writer(std::filesystem::path target) : file(std::move(target)) {}
    win32::AtomicFile file;
};

QzXML::QzXML() = default;

QzXML::~QzXML() {
    if (!fileIsOpen_) {
        return;
    }
    try {
        CloseXML();
    } catch (const automation::Error& e) {
        // Nobody is left to catch it: say so rather than lose the file quietly.
        std::cerr << "QzXML: the XML file could not be completed: " << e.Description() << '\n';
    }
}

void QzXML::RaiseXMLError(QzXMLErrors code, std::string text) {
    error_ = text;
    automation::RaiseObjectError(code, std::move(text), kProgID);
}

void QzXML::ResetFileState() {
    fileIsOpen_ = false;
    readMode_ = false;
    writer_.reset();
    reader_.reset();
    elements_.clear();
    pending_ = false;
    indentation_.clear();
    parameters_.clear();
    parameterCursor_ = 0;
    value_ = std::string();
}

void QzXML::OpenXML(const std::string& strXMLFile, std::int16_t intOpenType) {
    if (fileIsOpen_) {
        RaiseXMLError(QzXMLErrorFileOpen, "XML file \"" + strXMLFile + "\" is already open.");
    }
    if (intOpenType != qzXMLRead && intOpenType != qzXMLWrite) {
        RaiseXMLError(QzXMLErrorBadOpenType,
                      "Invalid XML file open type: " + std::to_string(intOpenType) +
                          ".\r\nValid types are 0 and 1 only.");
    }
    ResetFileState();
    if (intOpenType == qzXMLWrite) {
        OpenForWriting(strXMLFile);
    } else {
        OpenForReading(strXMLFile);
    }
}

void QzXML::OpenForWriting(const std::string& file) {
    const auto host = win32::HostPathOf(file);
    if (!host) {
        win32::RaiseLastError(QzXML::kProgID);
    }
    win32::host::FileStat st;
    if (win32::host::Stat(*host, st) == 0) {
        if (st.isDirectory) {
            RaisePlatform(automation::PathFileAccessError);
        }
        if (win32::IsReadOnlyMode(st.mode)) {
            RaisePlatform(automation::PermissionDenied);
        }
    }
    auto writer = std::make_unique<Writer>(*host);
    if (writer->file.error() != 0) {
        RaisePlatform(automation::RunTimeErrorFromErrno(writer->file.error()));
    }
    writer_ = std::move(writer);
    fileIsOpen_ = true;
    try {
        WriteLine(xmlVersion_);
        OpenElement(topElement_);
    } catch (...) {
        ResetFileState();
        throw;
    }
}

void QzXML::OpenForReading(const std::string& file) {
    const auto host = win32::HostPathOf(file);
    win32::host::FileStat st;
    if (!host || win32::host::Stat(*host, st) != 0 || st.isDirectory) {
        RaiseXMLError(QzXMLErrorFileDoesNotExist, "File \"" + file + "\" does not exist.");
    }
    std::string bytes;
    if (const int error = win32::host::ReadWholeFile(*host, bytes); error != 0) {
        RaisePlatform(automation::RunTimeErrorFromErrno(error));
    }
    reader_ = std::make_unique<XMLReader>(automation::TextFromFileBytes(bytes));
    fileIsOpen_ = true;
    readMode_ = true;
    try {
        std::string name = ReadElement();
        if (automation::Trim(name).starts_with("?")) {
            // Keep the whole declaration: it is the line a later write would begin with.
            xmlVersion_ = reader_->Tag();
            name = ReadElement();
        } else {
            xmlVersion_.clear();
        }
        // Further processing instructions, comments and a document type come before the
        // outermost element; none of them is that element.
        while (!reader_->AtEnd() && (name.starts_with("?") || name.starts_with("!"))) {
            name = ReadElement();
        }
        topElement_ = name;
    } catch (...) {
        ResetFileState();
        throw;
    }
}

void QzXML::CloseXML() {
    if (!fileIsOpen_) {
        return;
    }
    if (readMode_) {
        ResetFileState();
        return;
    }
    try {
        while (!elements_.empty()) {
            CloseElement();
        }
        if (const int error = writer_->file.Commit(); error != 0) {
            RaisePlatform(automation::RunTimeErrorFromErrno(error));
        }
    } catch (...) {
        // The half-written sibling goes; the file on disk stays as it was.
        ResetFileState();
        throw;
    }
    ResetFileState();
}

// ---- Writing -----------------------------------------------------------------------------

void QzXML::RequireWriting() const {
    if (!fileIsOpen_ || readMode_) {
        RaisePlatform(automation::BadFileNameOrNumber);
    }
}

void QzXML::WriteLine(const std::string& line) {
    RequireWriting();
    if (!writer_->file.Write(line + "\r\n")) {
        RaisePlatform(automation::RunTimeErrorFromErrno(writer_->file.error()));
    }
}

void QzXML::OpenElement(const std::string& strElementID, const std::optional<Variant>& Value) {
    RequireWriting();
    if (Value) {
        RequireText(*Value);
    }
    if (pending_) {
        FlushOpenTag(false);
    }
    if (Value) {
        value_ = *Value;
    }
    elements_.push_back(strElementID);
    pending_ = true;
    indentation_.push_back(' ');
}

void QzXML::CloseElement() {
    if (pending_) {
        FlushOpenTag(true);
    } else if (elements_.empty()) {
        RaiseXMLError(QzXMLErrorNoElementOpen,
                      "Attempt to close XML element when no elements are open.");
    } else {
        WriteCloseTag({}, true);
    }
    elements_.pop_back();
}

void QzXML::AddParm(const std::string& ParmNm, const Variant& ParmVal) {
    if (ParmVal.IsNull() || ParmVal.IsEmpty()) {
        return;
    }
    if (ParmVal.IsArray()) {
        RaiseXMLError(QzXMLErrorBadParm, "Invalid Parm Value for XML Element--Cannot be an array");
    }
    RequireWriting();
    // A parameter belongs to the start tag not yet written; with none pending it would end
    // up on whichever element comes next.
    if (!pending_) {
        automation::Raise(automation::InvalidProcedureCall, kProgID);
    }
    const auto* text = ParmVal.get_if<std::string>();
    if (text != nullptr && text->empty()) {
        return;
    }
    parameters_.push_back(
        {ParmNm, text != nullptr ? *text : automation::CStr(ParmVal), text != nullptr});
}

void QzXML::SetValue(const Variant& value) {
    RequireText(value);
    if (fileIsOpen_ && !readMode_ && !pending_) {
        automation::Raise(automation::InvalidProcedureCall, kProgID);
    }
    value_ = value;
}

void QzXML::ApplyComment(const std::string& sCommentText) {
    RequireWriting();
    if (pending_) {
        FlushOpenTag(false);
    }
    WriteLine("<!-- " + sCommentText + " -->");
}

std::string QzXML::ParameterText(const Parameter& parameter) const {
    // Escaped once: converted text when the conversion is on, else only the angle brackets
    // of strings, so that a value read back equals the value written.
    if (autoConvert_) {
        return ConvertText(parameter.text);
    }
    return parameter.isString ? EscapeAngles(parameter.text) : parameter.text;
}

void QzXML::FlushOpenTag(bool closing) {
    const std::string& name = elements_.back();
    std::string line = indentation_ + "<" + name;
    for (const auto& parameter : parameters_) {
        line += " " + parameter.name + "=\"" + ParameterText(parameter) + "\"";
    }
    parameters_.clear();
    const bool hasValue = HasValue(value_);
    if (closing && !hasValue && !forceSeparateCloseTag_) {
        WriteLine(line + " />");
        indentation_.pop_back();
    } else {
        line += ">";
        if (hasValue) {
            if (!closing) {
                WriteLine(line);
                line = indentation_ + " ";
            }
            const std::string text = automation::CStr(value_);
            line += autoConvert_ ? ConvertText(text) : text;
            if (!closing) {
                WriteLine(line);
            }
        } else if (!closing) {
            WriteLine(line);
        }
        if (closing) {
            WriteCloseTag(line, false);
        }
    }
    value_ = std::string();
    pending_ = false;
}

void QzXML::WriteCloseTag(std::string line, bool indent) {
    WriteLine((indent ? indentation_ : std::string()) + line + "</" + elements_.back() + ">");
    indentation_.pop_back();
}

// ---- Reading -----------------------------------------------------------------------------

std::string QzXML::ReadElement() {
    if (!fileIsOpen_ || !readMode_) {
        RaiseXMLError(QzXMLErrorFileNotRead, "XML file is not open for reading.");
    }
    std::string name = reader_->ReadElement(autoConvert_);
    parameters_.clear();
    for (const auto& [parameterName, text] : reader_->Parameters()) {
        parameters_.push_back({parameterName, text, true});
    }
    parameterCursor_ = 0;
    value_ = reader_->Value();
    comment_ = reader_->Comment();
    return name;
}

void QzXML::Parm(std::string& sParmNm, std::string& sParmVal) {
    if (parameterCursor_ < parameters_.size()) {
        sParmNm = parameters_[parameterCursor_].name;
        sParmVal = parameters_[parameterCursor_].text;
        ++parameterCursor_;
    } else {
        sParmNm.clear();
        sParmVal.clear();
    }
}

std::string QzXML::Element() const {
    return elements_.empty() ? std::string() : elements_.back();
}

std::string QzXML::ParentElement() const {
    return elements_.size() < 2 ? std::string() : elements_[elements_.size() - 2];
}

// ---- Properties --------------------------------------------------------------------------

void QzXML::SetXMLVersion(const std::string& value) {
    if (fileIsOpen_) {
        RaiseXMLError(QzXMLErrorVer, "XML Version Data cannot be changed after file is opened");
    }
    const std::string_view trimmed = automation::Trim(value);
    if (!value.empty() &&
        !((trimmed.starts_with("<?") || trimmed.starts_with("<!")) && trimmed.ends_with(">"))) {
        RaiseXMLError(QzXMLErrorVerFormat,
                      "XML Version Data must begin with \"<?\" or \"<!\" and end with \">\"");
    }
    xmlVersion_ = value;
    PropertyChanged("XMLVersion");
}

void QzXML::SetTopElement(const std::string& value) {
    if (fileIsOpen_) {
        RaiseXMLError(QzXMLErrorTopChange,
                      "Top Level Element cannot be changed after file is opened.");
    }
    topElement_ = value;
    PropertyChanged("TopElement");
    if (automation::EqualsIgnoreCase(value, "HTML")) {
        SetForceSeparateCloseTag(true);
    }
}

void QzXML::SetAutoConvertSpecialCharacters(bool value) {
    autoConvert_ = value;
    PropertyChanged("AutoConvertSpecialCharacters");
}

void QzXML::SetForceSeparateCloseTag(bool value) {
    forceSeparateCloseTag_ = value;
    PropertyChanged("ForceSeparateCloseTag");
}

std::string QzXML::XMLConvertText(const std::string& sText) const {
    return ConvertText(sText);
}

std::string QzXML::XMLUnConvertText(const std::string& sText) const {
    return UnConvertText(sText);
}

void QzXML::ReadProperties(const automation::PropertyBag& bag) {
    xmlVersion_ = automation::CStr(bag.ReadProperty("XMLVersion", kDefaultXMLVersion));
    topElement_ = automation::CStr(bag.ReadProperty("TopElement", kDefaultTopElement));
    forceSeparateCloseTag_ = automation::CBool(bag.ReadProperty("ForceSeparateCloseTag", false));
    autoConvert_ = automation::CBool(bag.ReadProperty("AutoConvertSpecialCharacters", true));
}

void QzXML::WriteProperties(automation::PropertyBag& bag) const {
    bag.WriteProperty("XMLVersion", xmlVersion_, Variant(kDefaultXMLVersion));
    bag.WriteProperty("TopElement", topElement_, Variant(kDefaultTopElement));
    bag.WriteProperty("ForceSeparateCloseTag", forceSeparateCloseTag_, Variant(false));
    bag.WriteProperty("AutoConvertSpecialCharacters", autoConvert_, Variant(true));
}

void QzXML::AboutDisplay() const {
    dialogs::ShowControlAbout(dialogs::MakerVersion("QzXML"));
}

}  // namespace Qz_XML
