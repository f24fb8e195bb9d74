#include "platform/wine/DllOverrides.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/machine/Text.h"

namespace wine {
namespace {

constexpr const char* kGlobalKey = "Software\\Wine\\DllOverrides";
constexpr const char* kProgramsKey = "Software\\Wine\\AppDefaults";

struct Override {
    std::string value;
    std::string key;    // where it was found
    std::string place;  // the same for the user: "DllOverrides", "AppDefaults\\Game.exe"
};

std::optional<registry::KeyId> Open(registry::RegistryStore& store, std::string_view path) {
    registry::KeyId id = 0;
    if (store.openKey(store.rootKey(registry::Root::CurrentUser), registry::SplitKeyNames(path),
                      id) != registry::Outcome::Ok) {
        return std::nullopt;
    }
    return id;
}

// Wine reads the data whatever its type; a text's closing NULs are not part of it.
std::optional<std::string> ValueText(registry::RegistryStore& store, std::string_view key,
                                     std::string_view name) {
    const auto id = Open(store, key);
    registry::ValueData data;
    if (!id || store.queryValue(*id, name, data) != registry::Outcome::Ok) {
        return std::nullopt;
    }
    std::string text(data.data.begin(), data.data.end());
    text.resize(std::min(text.size(), text.find('\0')));
    return text;
}

// The override Wine applies to `module` for a program with overrides of its own in
// `programKey` (none: for every program): the plain name first, then "*" and the name; for
// each, the program's key before the global one.
std::optional<Override> Find(registry::RegistryStore& store, const std::string& program,
                             const std::string& module) {
    const std::string programKey = std::string(kProgramsKey) + "\\" + program + "\\DllOverrides";
    for (const std::string& name : {module, "*" + module}) {
        if (!program.empty()) {
            if (auto value = ValueText(store, programKey, name)) {
                return Override{std::move(*value), programKey, "AppDefaults\\" + program};
            }
        }
        if (auto value = ValueText(store, kGlobalKey, name)) {
            return Override{std::move(*value), kGlobalKey, "DllOverrides"};
        }
    }
    return std::nullopt;
}

// What is loaded when both a builtin and a native copy are there.
std::string Loads(LoadOrder order, bool builtinPrefersNative) {
    switch (order) {
        case LoadOrder::Native:
        case LoadOrder::NativeBuiltin:
            return "native";
        case LoadOrder::Builtin:
        case LoadOrder::BuiltinNative:
            return "builtin";
        case LoadOrder::Disabled:
            return "nothing";
        case LoadOrder::Default:
            break;
    }
    return builtinPrefersNative ? "native" : "builtin";
}

std::string Why(const std::optional<Override>& found, bool builtinPrefersNative) {
    if (!found) {
        return builtinPrefersNative ? "no override; the builtin prefers a native copy"
                                    : "no override";
    }
    return found->place + ": \"" + found->value + "\"";
}

}  // namespace

LoadOrder ParseLoadOrder(std::string_view value) {
    std::vector<char> letters;
    bool tokenStart = true;
    for (const char c : value) {
        if (c == ',' || c == ' ' || c == '\t') {
            tokenStart = true;
            continue;
        }
        if (tokenStart) {
            const char letter = static_cast<char>(c | 0x20);
            if (letter == 'n' || letter == 'b') {
                letters.push_back(letter);
            }
        }
        tokenStart = false;
    }
    if (letters.empty()) {
        return LoadOrder::Disabled;
    }
    const auto second = std::find_if(letters.begin(), letters.end(),
                                     [&](char letter) { return letter != letters.front(); });
    if (letters.front() == 'n') {
        return second == letters.end() ? LoadOrder::Native : LoadOrder::NativeBuiltin;
    }
    return second == letters.end() ? LoadOrder::Builtin : LoadOrder::BuiltinNative;
}

std::string ModuleNameOf(std::string_view fileName) {
    constexpr std::string_view kDll = ".dll";
    if (fileName.size() > kDll.size() &&
        machine::text::EqualsNoCase(fileName.substr(fileName.size() - kDll.size()), kDll)) {
        fileName.remove_suffix(kDll.size());
    }
    return std::string(fileName);
}

machine::LibraryChoice ChooseLibrary(registry::RegistryStore& store, std::string_view fileName,
                                     bool builtinPrefersNative) {
    const std::string module = ModuleNameOf(fileName);
    machine::LibraryChoice choice;
    choice.platform = "Wine";
    const auto global = Find(store, {}, module);
    const LoadOrder order = global ? ParseLoadOrder(global->value) : LoadOrder::Default;
    choice.byDefault = Loads(order, builtinPrefersNative);
    choice.why = Why(global, builtinPrefersNative);
    const auto programs = Open(store, kProgramsKey);
    std::vector<registry::Subkey> subkeys;
    if (!programs || store.subkeys(*programs, subkeys) != registry::Outcome::Ok) {
        return choice;
    }
    for (const registry::Subkey& program : subkeys) {
        const auto own = Find(store, program.name, module);
        if (!own || own->key == kGlobalKey) {
            continue;
        }
        const std::string loads = Loads(ParseLoadOrder(own->value), builtinPrefersNative);
        if (loads != choice.byDefault) {
            choice.programs.push_back({program.name, loads, Why(own, builtinPrefersNative)});
        }
    }
    return choice;
}

}  // namespace wine
