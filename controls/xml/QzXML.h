// QzXML: reads and writes simple XML files one element at a time, without a document tree.
//
// Writing: OpenXML(file, qzXMLWrite) writes the version line and opens TopElement; the host
// then opens elements, adds parameters (attributes), values and comments, and closes them; the
// control writes indented lines (one blank per level) ending in CR LF. A start tag is held back
// while its element is pending, because parameters and a value can still be added. The file
// appears on disk, whole, when CloseXML commits it (a crash before that leaves the old file).
//
// Reading: OpenXML(file, qzXMLRead) positions the reader after the outermost start tag; each
// ReadElement returns the next tag's name ("/name" for an end tag) and makes its parameters
// (Parm) and the text that follows it (Value) available, until XMLEOF. A file that is not
// valid UTF-8 is read as Windows-1252.
//
// Paths are Windows paths on the current machine. Errors of the control are automation errors
// vbObjectError + QzXMLErrors with the texts the control always used; file-system errors are
// the runtime's own (53, 70, 75, 76, ...).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "controls/xml/XMLReader.h"
#include "platform/automation/Events.h"
#include "platform/automation/Object.h"
#include "platform/automation/PropertyBag.h"
#include "platform/automation/Variant.h"

namespace Qz_XML {

enum OpenTypes : std::int16_t {
    qzXMLRead = 0,
    qzXMLWrite = 1,
};

enum QzXMLErrors : std::int32_t {
    QzXMLErrorBadParm = 1000,
    QzXMLErrorFileOpen = 1001,
    QzXMLErrorBadOpenType = 1002,
    QzXMLErrorNoElementOpen = 1003,
    QzXMLErrorFileNotRead = 1004,
    QzXMLErrorVer = 1005,
    QzXMLErrorVerFormat = 1006,
    QzXMLErrorTopChange = 1007,
    QzXMLErrorFileDoesNotExist = 1008,
};

inline constexpr const char* kDefaultXMLVersion = "<?xml version=\"1.0\" ?>";
inline constexpr const char* kDefaultTopElement = "XML";

class QzXML : public automation::Object {
  public:
    static constexpr const char* kProgID = "Qz_XML.QzXML";
    // Size the control keeps on a form while it is designed, in twips.
    static constexpr int kDesignSize = 736;

    QzXML();
    // Closes an open file (committing a file being written), as the control did when it was
    // destroyed.
    ~QzXML() override;
    QzXML(const QzXML&) = delete;
    QzXML& operator=(const QzXML&) = delete;

    void OpenXML(const std::string& strXMLFile, std::int16_t intOpenType);
    void CloseXML();

    // Writing.
    void OpenElement(const std::string& strElementID,
                     const std::optional<automation::Variant>& Value = std::nullopt);
    void CloseElement();
    void AddParm(const std::string& ParmNm, const automation::Variant& ParmVal);
    void ApplyComment(const std::string& sCommentText);

    // The pending element's value (writing) or the text of the last element read.
    const automation::Variant& Value() const { return value_; }
    void SetValue(const automation::Variant& value);

    // Reading.
    std::string ReadElement();
    // The next parameter of the last tag read; two empty strings after the last one.
    void Parm(std::string& sParmNm, std::string& sParmVal);

    bool XMLEOF() const { return reader_ && reader_->AtEnd(); }
    bool FileIsOpen() const { return fileIsOpen_; }
    const std::string& Comment() const { return comment_; }
    // The text of the last error the control raised; never cleared.
    const std::string& Error() const { return error_; }
    // The innermost element open for writing and the one containing it; "" while reading.
    std::string Element() const;
    std::string ParentElement() const;

    const std::string& XMLVersion() const { return xmlVersion_; }
    void SetXMLVersion(const std::string& value);
    const std::string& TopElement() const { return topElement_; }
    void SetTopElement(const std::string& value);
    bool AutoConvertSpecialCharacters() const { return autoConvert_; }
    void SetAutoConvertSpecialCharacters(bool value);
    bool ForceSeparateCloseTag() const { return forceSeparateCloseTag_; }
    void SetForceSeparateCloseTag(bool value);

    // Characters that cannot stand in XML text as they are become "&#code;".
    std::string XMLConvertText(const std::string& sText) const;
    // Character references back to characters.
    std::string XMLUnConvertText(const std::string& sText) const;

    void ReadProperties(const automation::PropertyBag& bag);
    void WriteProperties(automation::PropertyBag& bag) const;
    void AboutDisplay() const;

    // Raised with the property's name when the host changes a persisted property.
    automation::PropertyChangedEvent PropertyChanged;

  private:
    struct Writer;
    struct Parameter {
        std::string name;
        std::string text;
        bool isString = false;
    };

    [[noreturn]] void RaiseXMLError(QzXMLErrors code, std::string text);
    void ResetFileState();
    void OpenForReading(const std::string& file);
    void OpenForWriting(const std::string& file);
    void RequireWriting() const;
    void WriteLine(const std::string& line);
    void FlushOpenTag(bool closing);
    void WriteCloseTag(std::string line, bool indent);
    std::string ParameterText(const Parameter& parameter) const;

    // Persisted properties.
    std::string xmlVersion_ = kDefaultXMLVersion;
    std::string topElement_ = kDefaultTopElement;
    bool autoConvert_ = true;
    bool forceSeparateCloseTag_ = false;

    // State of the open file.
    bool fileIsOpen_ = false;
    bool readMode_ = false;
    std::unique_ptr<Writer> writer_;
    std::vector<std::string> elements_;
    bool pending_ = false;
    std::string indentation_;
    std::vector<Parameter> parameters_;
    std::unique_ptr<XMLReader> reader_;
    std::size_t parameterCursor_ = 0;
    automation::Variant value_ = std::string();
    std::string comment_;
    std::string error_;
};

}  // namespace Qz_XML
