// The XML reader over arbitrary bytes: every ReadElement loop must end, and the character
// conversion must give back what it was given.
#include <cstddef>
#include <cstdint>
#include <string>

#include "controls/xml/XMLReader.h"
#include "controls/xml/XMLText.h"
#include "platform/automation/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string text = automation::TextFromFileBytes(bytes);
    for (const bool convert : {true, false}) {
        Qz_XML::XMLReader reader(text);
        // Each call consumes a byte or hands out the end of the empty element read before it.
        std::size_t budget = 2 * text.size() + 2;
        while (!reader.AtEnd()) {
            reader.ReadElement(convert);
            if (budget-- == 0) {
                __builtin_trap();
            }
        }
    }
    if (automation::IsValidUtf8(bytes) &&
        Qz_XML::UnConvertText(Qz_XML::ConvertText(bytes)) != bytes) {
        __builtin_trap();
    }
    return 0;
}
