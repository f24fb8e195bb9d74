// QzRegistry: typed reads and writes of registry values below a default root and key,
// deletion, enumeration of subkeys and value names, and the shell's per-extension command
// lines under HKEY_CLASSES_ROOT.
//
// Every member names a value and optionally a key and a root: an empty key means RegKey, a
// missing or 0 root means hKey, an empty value name the key's default value. Registry failures
// never raise; members report through their results and the error recorder, which keeps the
// latest code in RegErr and, for the registry's own failures (1009..1021), their text in
// RegError and raises RegistryErrorOccurred.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/automation/Events.h"
#include "platform/automation/Object.h"
#include "platform/automation/PropertyBag.h"
#include "platform/automation/Variant.h"

namespace Qz_Registry {

// The predefined roots as the signed 32-bit values the automation interface publishes.
enum HKEY_REGISTRY_KEYS : std::int32_t {
    HKEY_CLASSES_ROOT = -2147483647 - 1,
    HKCR = HKEY_CLASSES_ROOT,
    HKEY_CURRENT_USER = -2147483647,
    HKCU = HKEY_CURRENT_USER,
    HKEY_LOCAL_MACHINE = -2147483646,
    HKLM = HKEY_LOCAL_MACHINE,
    HKEY_USERS = -2147483645,
    HKU = HKEY_USERS,
    HKEY_PERFORMANCE_DATA = -2147483644,
    HKPD = HKEY_PERFORMANCE_DATA,
    HKEY_CURRENT_CONFIG = -2147483643,
    HKCC = HKEY_CURRENT_CONFIG,
    HKEY_DYN_DATA = -2147483642,
    HKDD = HKEY_DYN_DATA,
};

enum REGISTRY_TYPES : std::int32_t {
    REG_NONE = 0,
    REG_SZ = 1,
    REG_EXPAND_SZ = 2,
    REG_BINARY = 3,
    REG_DWORD = 4,
    REG_DWORD_LITTLE_ENDIAN = 4,
    REG_DWORD_BIG_ENDIAN = 5,
    REG_LINK = 6,
    REG_MULTI_SZ = 7,
    REG_RESOURCE_LIST = 8,
    REG_FULL_RESOURCE_DESCRIPTOR = 9,
    REG_RESOURCE_REQUIREMENTS_LIST = 10,
};

enum REGISTRY_ERRORS : std::int32_t {
    ERROR_SUCCESS = 0,
    ERROR_BADDB = 1009,
    ERROR_BADKEY = 1010,
    ERROR_CANTOPEN = 1011,
    ERROR_CANTREAD = 1012,
    ERROR_CANTWRITE = 1013,
    ERROR_REGISTRY_RECOVERED = 1014,
    ERROR_REGISTRY_CORRUPT = 1015,
    ERROR_REGISTRY_IO_FAILED = 1016,
    ERROR_NOT_REGISTRY_FILE = 1017,
    ERROR_KEY_DELETED = 1018,
    ERROR_NO_LOG_SPACE = 1019,
    ERROR_KEY_HAS_CHILDREN = 1020,
    ERROR_CHILD_MUST_BE_VOLATILE = 1021,
};

// The text the error recorder keeps for a registry failure; empty for any other code.
std::string RegistryErrorText(std::int32_t code);

class QzRegistry : public automation::Object {
  public:
    static constexpr const char* kProgID = "Qz_Registry.QzRegistry";
    // Size the control keeps on a form, in twips.
    static constexpr int kDesignSize = 735;
    // RegKey when the property bag holds none.
    static constexpr const char* kDefaultRegKey = "\\Software\\";

    QzRegistry();

    HKEY_REGISTRY_KEYS hKey() const { return hKey_; }
    void SethKey(HKEY_REGISTRY_KEYS root);
    const std::string& RegKey() const { return regKey_; }
    void SetRegKey(std::string key);

    std::int32_t RegErr() const { return regErr_; }
    const std::string& RegError() const { return regError_; }

    // The value's data by its registry type: text up to its first NUL for REG_SZ and
    // REG_EXPAND_SZ (not expanded), the 32-bit number as stored for REG_DWORD and
    // REG_DWORD_BIG_ENDIAN, a byte array for REG_BINARY; `Default` (else Empty) for a missing
    // value or any other type. Records the code of the last query: 2 for a missing value, 6 for
    // a missing key; or the registry's own failure (1009..1021) when the key cannot be opened
    // because the registry itself cannot be used.
    automation::Variant GetRegSetting(const automation::Variant& Value,
                                      const std::optional<automation::Variant>& Default = {},
                                      const std::string& RegistryKey = {},
                                      std::int32_t RegistryHKey = 0);

    // Writes `Data` with the type its variant type chooses (dates and strings REG_SZ, numbers
    // a REG_DWORD rounded half to even, byte arrays REG_BINARY, anything else REG_NONE without
    // data), creating missing keys. Returns and records the system result code. A number
    // outside the 32-bit range raises run-time error 6 (Overflow) rather than storing a
    // different number.
    std::int32_t SaveRegSetting(const std::string& Value, const automation::Variant& Data,
                                const std::string& RegistryKey = {}, std::int32_t RegistryHKey = 0);

    // RegDeleteKeyA's result, not recorded. A key with subkeys is not deleted.
    std::int32_t DeleteKey(const std::string& RegKeytoDelete = {}, std::int32_t BasehKey = 0);
    // The result of opening the key or of deleting the value; recorded.
    std::int32_t DeleteValue(const std::string& Value, const std::string& RegistryKey = {},
                             std::int32_t RegistryHKey = 0);

    // A string array (lower bound 0) of the subkey names in enumeration order; with no
    // elements when there are none or the key cannot be opened. Records the result of opening
    // the key; an enumeration that ends before the last name (a registry failure, a name
    // longer than the registry allows) records the code it ended with, so RegErr tells a
    // complete list (0) from one that is not.
    automation::Variant GetAllKeys(const std::string& RegistryKey = {},
                                   std::int32_t RegistryHKey = 0);
    // A string array of the value names, or Empty when there are none. A name or data longer
    // than the first buffers is read again with room enough; recorded as GetAllKeys.
    automation::Variant GetAllValues(const std::string& RegistryKey = {},
                                     std::int32_t RegistryHKey = 0);

    // The command line of a verb for a file extension (with or without its dot); empty when
    // nothing is registered.
    std::string GetEXTCommandLine(const std::string& Extension,
                                  const std::string& Command = "Open");
    // Registers a verb's command line for an extension, creating the file type
    // "AutoDefine.{company}.ext" when the extension has none. Raises run-time error 5 for an
    // extension that is empty or holds a backslash, which would write outside its own keys.
    void SetEXTCommandLine(const std::string& Extension, const std::string& CommandLine,
                           const std::string& strCommand = "Open", const std::string& Desc = {},
                           const std::string& MenuItem = {}, const std::string& DefaultIcon = {});

    void ReadProperties(const automation::PropertyBag& bag);
    void WriteProperties(automation::PropertyBag& bag) const;
    void AboutDisplay() const;

    // The control's extent on its form in twips; it keeps its design size whatever it is set to.
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetSize(int width, int height);
    void UserControl_Resize();

    automation::Event<> RegistryErrorOccurred;
    automation::PropertyChangedEvent PropertyChanged;

  private:
    void RecordError(std::int32_t code);
    // Records how an enumeration ended, unless it ran to its last item.
    void EndEnumeration(std::int32_t status);
    const std::string& KeyOr(const std::string& key) const;
    HKEY_REGISTRY_KEYS RootOr(std::int32_t root) const;

    HKEY_REGISTRY_KEYS hKey_ = HKEY_CURRENT_USER;
    std::string regKey_;
    std::int32_t regErr_ = 0;
    std::string regError_ = "Success";
    int width_ = kDesignSize;
    int height_ = kDesignSize;
};

}  // namespace Qz_Registry
