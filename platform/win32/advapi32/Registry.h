#pragma once
// The registry functions of advapi32, ANSI forms, on the current machine's registry. They
// keep the Win32 calling conventions the controls are written against: caller buffers with
// sizes in and out, ERROR_MORE_DATA when a buffer is too small, result codes instead of
// exceptions. Names and text are UTF-8; buffer sizes count bytes.
//
// Text data (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) is kept as the bytes the program wrote:
// its UTF-8 text with the terminating NUL. When the size given to RegSetValueExA leaves the
// NUL out (a common habit the NT call forgives), the NUL is stored anyway.
//
// As on Windows, the result is the return value; GetLastError is left alone.
//
// Deliberate departures: a leading backslash in a key path is ignored (as the 9x calls did;
// NT refuses it), and RegDeleteKeyA never deletes a key that has subkeys (as NT; 9x deleted
// the whole tree).

#include <cstdint>
#include <string_view>

#include "platform/win32/ntdll/WinError.h"

namespace win32 {

using BYTE = std::uint8_t;
using REGSAM = DWORD;
// Win32 declares the result signed; the codes are never negative, and unsigned they compare
// with the ERROR_ constants without casts.
using LSTATUS = DWORD;

// A key handle: one of the predefined roots, or a value handed out by RegOpenKeyA and
// friends. 0 is never a valid handle.
enum class HKEY : std::uint32_t {};

inline constexpr HKEY HKEY_CLASSES_ROOT{0x80000000u};
inline constexpr HKEY HKEY_CURRENT_USER{0x80000001u};
inline constexpr HKEY HKEY_LOCAL_MACHINE{0x80000002u};
inline constexpr HKEY HKEY_USERS{0x80000003u};
inline constexpr HKEY HKEY_PERFORMANCE_DATA{0x80000004u};
inline constexpr HKEY HKEY_CURRENT_CONFIG{0x80000005u};
inline constexpr HKEY HKEY_DYN_DATA{0x80000006u};

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_DWORD_LITTLE_ENDIAN = 4;
inline constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
inline constexpr DWORD REG_LINK = 6;
inline constexpr DWORD REG_MULTI_SZ = 7;
inline constexpr DWORD REG_RESOURCE_LIST = 8;
inline constexpr DWORD REG_FULL_RESOURCE_DESCRIPTOR = 9;
inline constexpr DWORD REG_RESOURCE_REQUIREMENTS_LIST = 10;

inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

// The registry's own failures, with the Windows values.
inline constexpr DWORD ERROR_BADDB = 1009;
inline constexpr DWORD ERROR_BADKEY = 1010;
inline constexpr DWORD ERROR_CANTOPEN = 1011;
inline constexpr DWORD ERROR_CANTREAD = 1012;
inline constexpr DWORD ERROR_CANTWRITE = 1013;
inline constexpr DWORD ERROR_REGISTRY_RECOVERED = 1014;
inline constexpr DWORD ERROR_REGISTRY_CORRUPT = 1015;
inline constexpr DWORD ERROR_REGISTRY_IO_FAILED = 1016;
inline constexpr DWORD ERROR_NOT_REGISTRY_FILE = 1017;
inline constexpr DWORD ERROR_KEY_DELETED = 1018;
inline constexpr DWORD ERROR_NO_LOG_SPACE = 1019;
inline constexpr DWORD ERROR_KEY_HAS_CHILDREN = 1020;
inline constexpr DWORD ERROR_CHILD_MUST_BE_VOLATILE = 1021;

// Failures of the store itself come back as ERROR_BADDB (not a registry, damaged or of an
// unknown schema), ERROR_REGISTRY_IO_FAILED (no machine, or registry.db missing or
// unreadable), ERROR_CANTREAD or ERROR_CANTWRITE (I/O errors, a read-only file, another
// process holding the store past the time-out); the reason is written to stderr.

// Opens `lpSubKey` below `hKey`. An empty subkey gives back `hKey` itself, unchecked.
LSTATUS RegOpenKeyA(HKEY hKey, std::string_view lpSubKey, HKEY* phkResult);
// As RegOpenKeyA, but an empty subkey of a key that is not a root opens a new handle to it.
// Options and access are accepted and not checked: the store has no security.
LSTATUS RegOpenKeyExA(HKEY hKey, std::string_view lpSubKey, DWORD ulOptions, REGSAM samDesired,
                      HKEY* phkResult);
// Opens `lpSubKey`, creating every missing key along the path.
LSTATUS RegCreateKeyA(HKEY hKey, std::string_view lpSubKey, HKEY* phkResult);
// Closing a predefined root does nothing and succeeds.
LSTATUS RegCloseKey(HKEY hKey);

// Deletes `lpSubKey` (the key of `hKey` itself when empty) with its values; fails with
// ERROR_ACCESS_DENIED on a key that has subkeys and on the roots.
LSTATUS RegDeleteKeyA(HKEY hKey, std::string_view lpSubKey);
LSTATUS RegDeleteValueA(HKEY hKey, std::string_view lpValueName);

// Without `lpData`: the type and the size in bytes. With it: the data, or ERROR_MORE_DATA and
// the size needed when *lpcbData is too small (the buffer is then left alone). A string
// shorter than the buffer and without a NUL of its own gets one, as NT does.
LSTATUS RegQueryValueExA(HKEY hKey, std::string_view lpValueName, DWORD* lpReserved, DWORD* lpType,
                         BYTE* lpData, DWORD* lpcbData);
LSTATUS RegSetValueExA(HKEY hKey, std::string_view lpValueName, DWORD Reserved, DWORD dwType,
                       const BYTE* lpData, DWORD cbData);

// Subkeys and values come in creation order; ERROR_NO_MORE_ITEMS past the last one.
// `cchName` counts bytes with the NUL; a name that does not fit gives ERROR_MORE_DATA.
LSTATUS RegEnumKeyA(HKEY hKey, DWORD dwIndex, char* lpName, DWORD cchName);
// Keys have no class here: a class buffer receives the empty text. Write times are not kept.
LSTATUS RegEnumKeyExA(HKEY hKey, DWORD dwIndex, char* lpName, DWORD* lpcchName,
                      DWORD* lpReserved = nullptr, char* lpClass = nullptr,
                      DWORD* lpcchClass = nullptr);
// ERROR_MORE_DATA when the data exceeds *lpcbData (nothing is copied) or when the name does
// not fit *lpcchValueName (the name is cut to fit); *lpType and *lpcbData report the value.
LSTATUS RegEnumValueA(HKEY hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName,
                      DWORD* lpReserved, DWORD* lpType, BYTE* lpData, DWORD* lpcbData);

}  // namespace win32
