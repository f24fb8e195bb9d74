// INI parsing over arbitrary bytes: what is read survives a rewrite unchanged, and a value
// written reads back as written.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/machine/IniDocument.h"
#include "platform/machine/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const auto doc = machine::IniDocument::Parse(machine::text::DecodeFileText(bytes));
    const auto again = machine::IniDocument::Parse(doc.Serialize());
    const auto names = doc.SectionNames();
    for (const auto& name : names) {
        for (const auto& [key, value] : doc.Entries(name)) {
            if (doc.Get(name, key) != again.Get(name, key)) {
                __builtin_trap();
            }
        }
    }
    const std::string section = names.empty() ? "Fuzz" : names.front();
    if (machine::IniDocument::IsWritable(section, "FuzzKey", "written value")) {
        auto edited = doc;
        edited.Set(section, "FuzzKey", "written value");
        const auto reread = machine::IniDocument::Parse(edited.Serialize());
        if (reread.Get(section, "FuzzKey") != "written value") {
            __builtin_trap();
        }
        edited.DeleteSection(section);
        if (machine::IniDocument::Parse(edited.Serialize()).Get(section, "FuzzKey") ==
            "written value") {
            __builtin_trap();
        }
    }
    return 0;
}
