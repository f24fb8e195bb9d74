#include "platform/automation/Errors.h"

#include <cerrno>
#include <utility>

namespace automation {
namespace {

struct ErrorEntry {
    std::int32_t number;
    const char* text;
};

// The runtime's own wording, kept so that messages and traces read as users knew them.
constexpr ErrorEntry kErrorTexts[] = {
    {3, "Return without GoSub"},
    {5, "Invalid procedure call or argument"},
    {6, "Overflow"},
    {7, "Out of memory"},
    {9, "Subscript out of range"},
    {10, "This array is fixed or temporarily locked"},
    {11, "Division by zero"},
    {13, "Type mismatch"},
    {14, "Out of string space"},
    {16, "Expression too complex"},
    {17, "Can't perform requested operation"},
    {18, "User interrupt occurred"},
    {20, "Resume without error"},
    {28, "Out of stack space"},
    {35, "Sub or Function not defined"},
    {47, "Too many DLL application clients"},
    {48, "Error in loading DLL"},
    {49, "Bad DLL calling convention"},
    {51, "Internal error"},
    {52, "Bad file name or number"},
    {53, "File not found"},
    {54, "Bad file mode"},
    {55, "File already open"},
    {57, "Device I/O error"},
    {58, "File already exists"},
    {59, "Bad record length"},
    {61, "Disk full"},
    {62, "Input past end of file"},
    {63, "Bad record number"},
    {67, "Too many files"},
    {68, "Device unavailable"},
    {70, "Permission denied"},
    {71, "Disk not ready"},
    {74, "Can't rename with different drive"},
    {75, "Path/File access error"},
    {76, "Path not found"},
    {91, "Object variable or With block variable not set"},
    {92, "For loop not initialized"},
    {93, "Invalid pattern string"},
    {94, "Invalid use of Null"},
    {380, "Invalid property value"},
    {381, "Invalid property array index"},
    {382, "Set not supported at runtime"},
    {383, "Set not supported (read-only property)"},
    {385, "Need property array index"},
    {387, "Set not permitted"},
    {393, "Get not supported at runtime"},
    {394, "Get not supported (write-only property)"},
    {422, "Property not found"},
    {423, "Property or method not found"},
    {424, "Object required"},
    {429, "ActiveX component can't create object"},
    {430, "Class doesn't support Automation"},
    {438, "Object doesn't support this property or method"},
    {440, "Automation error"},
    {445, "Object doesn't support this action"},
    {446, "Object doesn't support named arguments"},
    {448, "Named argument not found"},
    {449, "Argument not optional"},
    {450, "Wrong number of arguments or invalid property assignment"},
    {457, "This key is already associated with an element of this collection"},
    {458, "Variable uses an Automation type not supported in Visual Basic"},
    {481, "Invalid picture"},
    {35600, "Index out of bounds"},
    {35601, "Element not found"},
    {35602, "Key is not unique in collection"},
    {35603, "Invalid key"},
};

std::string MessageOf(std::int32_t number, const std::string& description) {
    return "Run-time error " + std::to_string(number) + ": " + description;
}

}  // namespace

Error::Error(std::int32_t number, std::string description, std::string source)
    : std::runtime_error(MessageOf(number, description)),
      number_(number),
      description_(std::move(description)),
      source_(std::move(source)) {}

std::string ErrorText(std::int32_t number) {
    for (const auto& entry : kErrorTexts) {
        if (entry.number == number) {
            return entry.text;
        }
    }
    return "Application-defined or object-defined error";
}

void Raise(std::int32_t number, std::string source) {
    throw Error(number, ErrorText(number), std::move(source));
}

void Raise(std::int32_t number, std::string source, std::string description) {
    throw Error(number, std::move(description), std::move(source));
}

void RaiseObjectError(std::int32_t code, std::string description, std::string source) {
    throw Error(vbObjectError + code, std::move(description), std::move(source));
}

std::int32_t RunTimeErrorFromErrno(int error) {
    switch (error) {
        case ENOENT:
            return FileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return PathNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
        case ETXTBSY:
            return PermissionDenied;
        case EEXIST:
            return FileAlreadyExists;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return DiskFull;
        case EIO:
            return DeviceIOError;
        case EMFILE:
        case ENFILE:
            return TooManyFiles;
        case ENXIO:
        case ENODEV:
        case ENOMEDIUM:
            return DeviceUnavailable;
        case EXDEV:
            return RenameAcrossDrives;
        case ENOMEM:
            return OutOfMemory;
        case EBADF:
            return BadFileNameOrNumber;
        default:
            return PathFileAccessError;
    }
}

std::int32_t RunTimeErrorFromWin32(std::uint32_t code) {
    // Win32 codes by their documented values; this library does not see the Win32 headers.
    switch (code) {
        case 2:  // ERROR_FILE_NOT_FOUND
            return FileNotFound;
        case 3:    // ERROR_PATH_NOT_FOUND
        case 161:  // ERROR_BAD_PATHNAME
        case 206:  // ERROR_FILENAME_EXCED_RANGE
        case 267:  // ERROR_DIRECTORY
            return PathNotFound;
        case 4:  // ERROR_TOO_MANY_OPEN_FILES
            return TooManyFiles;
        case 5:   // ERROR_ACCESS_DENIED
        case 19:  // ERROR_WRITE_PROTECT
        case 32:  // ERROR_SHARING_VIOLATION
        case 33:  // ERROR_LOCK_VIOLATION
            return PermissionDenied;
        case 8:   // ERROR_NOT_ENOUGH_MEMORY
        case 14:  // ERROR_OUTOFMEMORY
            return OutOfMemory;
        case 15:  // ERROR_INVALID_DRIVE
        case 53:  // ERROR_BAD_NETPATH
            return DeviceUnavailable;
        case 17:  // ERROR_NOT_SAME_DEVICE
            return RenameAcrossDrives;
        case 21:  // ERROR_NOT_READY
            return DiskNotReady;
        case 39:    // ERROR_HANDLE_DISK_FULL
        case 112:   // ERROR_DISK_FULL
        case 1295:  // ERROR_DISK_QUOTA_EXCEEDED
            return DiskFull;
        case 80:   // ERROR_FILE_EXISTS
        case 183:  // ERROR_ALREADY_EXISTS
            return FileAlreadyExists;
        case 123:  // ERROR_INVALID_NAME
            return BadFileNameOrNumber;
        case 1117:  // ERROR_IO_DEVICE
            return DeviceIOError;
        default:
            return PathFileAccessError;
    }
}

}  // namespace automation
