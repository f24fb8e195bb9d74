#include "controls/registry/QzRegistry.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "platform/automation/Conversion.h"
#include "platform/automation/CreateObject.h"
#include "platform/automation/Errors.h"
#include "platform/automation/Format.h"
#include "platform/automation/Text.h"
#include "platform/dialogs/ControlAbout.h"
#include "platform/win32/advapi32/Registry.h"

namespace Qz_Registry {
namespace {

using automation::Variant;

const automation::ProgIDRegistration kRegistration(QzRegistry::kProgID,
                                                   [] { return std::make_shared<QzRegistry>(); });

constexpr const char* kProductName = "QzRegistry";
// Enumeration buffers: room for a name of 255 characters in UTF-8 (up to four bytes each)
// and its NUL, and the 4000 data bytes the control always offered. A name or value that does
// not fit is asked for again with more room, up to the longest name the registry allows, so
// that an enumeration never ends early on a long name without anyone being told.
constexpr win32::DWORD kNameBytes = 255 * 4 + 1;
constexpr win32::DWORD kLongestNameBytes = 16383 * 4 + 1;
constexpr win32::DWORD kValueDataBytes = 4000;

win32::HKEY Handle(std::int32_t root) {
    return win32::HKEY{static_cast<std::uint32_t>(root)};
}

std::int32_t Code(win32::LSTATUS status) {
    return static_cast<std::int32_t>(status);
}

std::string UpToNul(const char* text, std::size_t capacity) {
    return std::string(text, strnlen(text, capacity));
}

// The type and bytes SaveRegSetting writes for a value.
struct RegistryData {
    win32::DWORD type = win32::REG_NONE;
    std::vector<win32::BYTE> bytes;
};

RegistryData DataFor(const Variant& data) {
    RegistryData out;
    switch (data.VarType()) {
        case automation::vbDate: {
            const std::string text = automation::GeneralDateText(*data.get_if<automation::Date>());
            out.type = win32::REG_SZ;
            out.bytes.assign(text.begin(), text.end());
            break;
        }
        case automation::vbString: {
            const std::string& text = *data.get_if<std::string>();
            out.type = win32::REG_SZ;
            out.bytes.assign(text.begin(), text.end());
            break;
        }
        case automation::vbInteger:
        case automation::vbLong:
        case automation::vbSingle:
        case automation::vbDouble:
        case automation::vbCurrency:
        case automation::vbDecimal:
        // A lone byte is a small number like any other.
        case automation::vbByte: {
            const std::int32_t number = automation::CLng(data);
            out.type = win32::REG_DWORD;
            out.bytes.resize(sizeof number);
            std::memcpy(out.bytes.data(), &number, sizeof number);
            break;
        }
        case automation::vbArray + automation::vbByte: {
            const auto& array = data.get_if<automation::ByteArray>()->Items();
            out.type = win32::REG_BINARY;
            out.bytes.assign(array.begin(), array.end());
            break;
        }
        default:
            break;
    }
    return out;
}

}  // namespace

std::string RegistryErrorText(std::int32_t code) {
    static constexpr std::array<const char*, 13> kTexts = {
        "Registry is corrupt",
        "Key is invalid",
        "Cannot open key",
        "Cannot read key",
        "Cannot write key",
        "Registry was successfully recovered",
        "Registry is corrupt, recovery not possible",
        "Registry IO Failure",
        "Load or Restore File not in Registry format",
        "Illegal operation--Key is deleted",
        "No space for registry",
        "Key has children",
        "Child key must be volatile",
    };
    if (code < ERROR_BADDB || code > ERROR_CHILD_MUST_BE_VOLATILE) {
        return {};
    }
    return kTexts[static_cast<std::size_t>(code - ERROR_BADDB)];
}

QzRegistry::QzRegistry() = default;

void QzRegistry::SethKey(HKEY_REGISTRY_KEYS root) {
    hKey_ = root;
    PropertyChanged("hKey");
}

void QzRegistry::SetRegKey(std::string key) {
    regKey_ = std::move(key);
    PropertyChanged("RegKey");
}

void QzRegistry::RecordError(std::int32_t code) {
    regErr_ = code;
    std::string text = RegistryErrorText(code);
    if (!text.empty()) {
        regError_ = std::move(text);
        RegistryErrorOccurred();
    }
}

void QzRegistry::EndEnumeration(std::int32_t status) {
    if (status != static_cast<std::int32_t>(win32::ERROR_NO_MORE_ITEMS)) {
        RecordError(status);
    }
}

const std::string& QzRegistry::KeyOr(const std::string& key) const {
    return key.empty() ? regKey_ : key;
}

HKEY_REGISTRY_KEYS QzRegistry::RootOr(std::int32_t root) const {
    return root == 0 ? hKey_ : static_cast<HKEY_REGISTRY_KEYS>(root);
}

Variant QzRegistry::GetRegSetting(const Variant& Value, const std::optional<Variant>& Default,
                                  const std::string& RegistryKey, std::int32_t RegistryHKey) {
    Variant result = Default.value_or(Variant());
    const std::string name = automation::CStr(Value);
    // A failed open leaves a null handle, so the query below reports the missing key (6). A
    // registry that cannot be used at all is reported as such: the query could only say 6.
    win32::HKEY key{};
    const win32::LSTATUS opened =
        win32::RegOpenKeyA(Handle(RootOr(RegistryHKey)), KeyOr(RegistryKey), &key);
    if (!RegistryErrorText(Code(opened)).empty()) {
        RecordError(Code(opened));
        return result;
    }

    win32::DWORD type = 0;
    win32::DWORD size = 0;
    win32::LSTATUS rc = win32::RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
    if (rc == win32::ERROR_SUCCESS) {
        switch (type) {
            case win32::REG_SZ:
            case win32::REG_EXPAND_SZ: {
                if (size == 0) {
                    result = std::string();
                    break;
                }
                std::vector<win32::BYTE> buffer(size);
                rc = win32::RegQueryValueExA(key, name, nullptr, &type, buffer.data(), &size);
                if (rc == win32::ERROR_SUCCESS) {
                    result = UpToNul(reinterpret_cast<const char*>(buffer.data()), size);
                }
                break;
            }
            case win32::REG_DWORD:
            case win32::REG_DWORD_BIG_ENDIAN: {
                std::array<win32::BYTE, 4> buffer{};
                win32::DWORD bytes = buffer.size();
                rc = win32::RegQueryValueExA(key, name, nullptr, &type, buffer.data(), &bytes);
                if (rc == win32::ERROR_SUCCESS) {
                    std::int32_t number = 0;
                    std::memcpy(&number, buffer.data(), sizeof number);
                    result = number;
                }
                break;
            }
            case win32::REG_BINARY: {
                std::vector<std::uint8_t> buffer(size);
                rc = win32::RegQueryValueExA(key, name, nullptr, &type, buffer.data(), &size);
                if (rc == win32::ERROR_SUCCESS) {
                    buffer.resize(size);
                    result = automation::ByteArray(std::move(buffer));
                }
                break;
            }
            default:
                break;
        }
    }
    RecordError(Code(rc));
    win32::RegCloseKey(key);
    return result;
}

std::int32_t QzRegistry::SaveRegSetting(const std::string& Value, const Variant& Data,
                                        const std::string& RegistryKey, std::int32_t RegistryHKey) {
    const RegistryData data = DataFor(Data);
    win32::HKEY key{};
    const win32::LSTATUS created =
        win32::RegCreateKeyA(Handle(RootOr(RegistryHKey)), KeyOr(RegistryKey), &key);
    if (created != win32::ERROR_SUCCESS) {
        RecordError(Code(created));
        return Code(created);
    }
    const win32::LSTATUS rc = win32::RegSetValueExA(key, Value, 0, data.type, data.bytes.data(),
                                                    static_cast<win32::DWORD>(data.bytes.size()));
    RecordError(Code(rc));
    win32::RegCloseKey(key);
    return Code(rc);
}

std::int32_t QzRegistry::DeleteKey(const std::string& RegKeytoDelete, std::int32_t BasehKey) {
    return Code(win32::RegDeleteKeyA(Handle(RootOr(BasehKey)), KeyOr(RegKeytoDelete)));
}

std::int32_t QzRegistry::DeleteValue(const std::string& Value, const std::string& RegistryKey,
                                     std::int32_t RegistryHKey) {
    win32::HKEY key{};
    win32::LSTATUS rc = win32::RegOpenKeyA(Handle(RootOr(RegistryHKey)), KeyOr(RegistryKey), &key);
    if (rc == win32::ERROR_SUCCESS) {
        rc = win32::RegDeleteValueA(key, Value);
    }
    RecordError(Code(rc));
    win32::RegCloseKey(key);
    return Code(rc);
}

Variant QzRegistry::GetAllKeys(const std::string& RegistryKey, std::int32_t RegistryHKey) {
    win32::HKEY key{};
    const std::int32_t opened =
        Code(win32::RegOpenKeyA(Handle(RootOr(RegistryHKey)), KeyOr(RegistryKey), &key));
    RecordError(opened);
    automation::StringArray names;
    std::vector<char> buffer(kNameBytes);
    for (win32::DWORD index = 0; opened == ERROR_SUCCESS;) {
        std::fill(buffer.begin(), buffer.end(), '\0');
        const win32::LSTATUS rc =
            win32::RegEnumKeyA(key, index, buffer.data(), static_cast<win32::DWORD>(buffer.size()));
        if (rc == win32::ERROR_MORE_DATA && buffer.size() < kLongestNameBytes) {
            buffer.resize(std::min<std::size_t>(buffer.size() * 4, kLongestNameBytes));
            continue;
        }
        if (rc != win32::ERROR_SUCCESS) {
            EndEnumeration(Code(rc));
            break;
        }
        names.push_back(UpToNul(buffer.data(), buffer.size()));
        ++index;
    }
    win32::RegCloseKey(key);
    return names;
}

Variant QzRegistry::GetAllValues(const std::string& RegistryKey, std::int32_t RegistryHKey) {
    win32::HKEY key{};
    const std::int32_t opened =
        Code(win32::RegOpenKeyA(Handle(RootOr(RegistryHKey)), KeyOr(RegistryKey), &key));
    RecordError(opened);
    automation::StringArray names;
    std::vector<char> name(kNameBytes);
    std::vector<win32::BYTE> data(kValueDataBytes);
    for (win32::DWORD index = 0; opened == ERROR_SUCCESS;) {
        std::fill(name.begin(), name.end(), '\0');
        auto nameChars = static_cast<win32::DWORD>(name.size());
        auto dataBytes = static_cast<win32::DWORD>(data.size());
        win32::DWORD type = 0;
        const win32::LSTATUS rc = win32::RegEnumValueA(key, index, name.data(), &nameChars, nullptr,
                                                       &type, data.data(), &dataBytes);
        if (rc == win32::ERROR_MORE_DATA && dataBytes > data.size()) {
            data.resize(dataBytes);
            continue;
        }
        if (rc == win32::ERROR_MORE_DATA && name.size() < kLongestNameBytes) {
            name.resize(std::min<std::size_t>(name.size() * 4, kLongestNameBytes));
            continue;
        }
        if (rc != win32::ERROR_SUCCESS) {
            EndEnumeration(Code(rc));
            break;
        }
        names.push_back(UpToNul(name.data(), name.size()));
        ++index;
    }
    win32::RegCloseKey(key);
    if (names.empty()) {
        return {};
    }
    return names;
}

std::string QzRegistry::GetEXTCommandLine(const std::string& Extension,
                                          const std::string& Command) {
    const std::string tail = "\\Shell\\" + Command + "\\Command";
    const std::string extension = Extension.starts_with('.') ? Extension : "." + Extension;
    const Variant none = std::string();
    std::string command =
        automation::CStr(GetRegSetting(none, none, extension + tail, HKEY_CLASSES_ROOT));
    if (command.empty()) {
        const std::string typeName =
            automation::CStr(GetRegSetting(none, none, extension, HKEY_CLASSES_ROOT));
        // Without a type name the path would name a key directly under the root.
        if (!typeName.empty()) {
            command =
                automation::CStr(GetRegSetting(none, none, typeName + tail, HKEY_CLASSES_ROOT));
        }
    }
    return command;
}

void QzRegistry::SetEXTCommandLine(const std::string& Extension, const std::string& CommandLine,
                                   const std::string& strCommand, const std::string& Desc,
                                   const std::string& MenuItem, const std::string& DefaultIcon) {
    const std::string extension = Extension.starts_with('.') ? Extension : "." + Extension;
    if (extension.size() < 2 || extension.find('\\') != std::string::npos) {
        automation::Raise(automation::InvalidProcedureCall, kProgID);
    }
    const std::string verbPath = "\\Shell\\" + strCommand;
    const std::string menuText = MenuItem.empty() ? strCommand : MenuItem;
    const Variant none = std::string();

    std::string typeName =
        automation::CStr(GetRegSetting(none, none, extension, HKEY_CLASSES_ROOT));
    if (typeName.empty()) {
        typeName = "AutoDefine." VELTO_COMPANY + extension;
    }
    SaveRegSetting({}, typeName, extension, HKEY_CLASSES_ROOT);

    std::string description = Desc;
    if (description.empty()) {
        description = automation::CStr(GetRegSetting(none, none, typeName, HKEY_CLASSES_ROOT));
    }
    if (description.empty()) {
        description = automation::UCase(extension.substr(1)) + " File";
    }
    SaveRegSetting({}, description, typeName, HKEY_CLASSES_ROOT);
    SaveRegSetting({}, menuText, typeName + verbPath, HKEY_CLASSES_ROOT);
    SaveRegSetting({}, CommandLine, typeName + verbPath + "\\Command", HKEY_CLASSES_ROOT);
    if (!DefaultIcon.empty()) {
        SaveRegSetting({}, DefaultIcon, typeName + "\\DefaultIcon", HKEY_CLASSES_ROOT);
    }
}

void QzRegistry::ReadProperties(const automation::PropertyBag& bag) {
    hKey_ = static_cast<HKEY_REGISTRY_KEYS>(
        automation::CLng(bag.ReadProperty("hKey", std::int32_t{HKEY_CURRENT_USER})));
    regKey_ = automation::CStr(bag.ReadProperty("RegKey", kDefaultRegKey));
}

void QzRegistry::WriteProperties(automation::PropertyBag& bag) const {
    bag.WriteProperty("hKey", std::int32_t{hKey_}, Variant(std::int32_t{HKEY_CURRENT_USER}));
    // Written with the default it is read with: a different default here would make a key that
    // equals it come back as the read default after a save and a load.
    bag.WriteProperty("RegKey", regKey_, Variant(kDefaultRegKey));
}

void QzRegistry::AboutDisplay() const {
    dialogs::ShowControlAbout(dialogs::MakerVersion(kProductName));
}

void QzRegistry::SetSize(int width, int height) {
    width_ = width;
    height_ = height;
    UserControl_Resize();
}

void QzRegistry::UserControl_Resize() {
    width_ = kDesignSize;
    height_ = kDesignSize;
}

}  // namespace Qz_Registry
