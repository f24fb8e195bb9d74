// Errors raised across the automation boundary.
//
// The old runtime reported every failure as one error object holding a number, a description
// and the name of the component that raised it. Controls and the program raise and catch the
// same single exception type, so a handler can show the number and text the user would have
// seen. Run-time errors keep their historic numbers; control errors are object errors, numbered
// vbObjectError + a small code.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace automation {

// Run-time error numbers that callers test for; any other number may be raised as well.
enum RunTimeError : std::int32_t {
    ReturnWithoutGoSub = 3,
    InvalidProcedureCall = 5,
    Overflow = 6,
    OutOfMemory = 7,
    SubscriptOutOfRange = 9,
    ArrayFixedOrLocked = 10,
    DivisionByZero = 11,
    TypeMismatch = 13,
    OutOfStringSpace = 14,
    BadFileNameOrNumber = 52,
    FileNotFound = 53,
    BadFileMode = 54,
    FileAlreadyOpen = 55,
    DeviceIOError = 57,
    FileAlreadyExists = 58,
    DiskFull = 61,
    InputPastEndOfFile = 62,
    TooManyFiles = 67,
    DeviceUnavailable = 68,
    PermissionDenied = 70,
    DiskNotReady = 71,
    RenameAcrossDrives = 74,
    PathFileAccessError = 75,
    PathNotFound = 76,
    ObjectVariableNotSet = 91,
    InvalidUseOfNull = 94,
    InvalidPropertyValue = 380,
    CannotCreateObject = 429,
    ObjectDoesNotSupportMember = 438,
    AutomationError = 440,
    ArgumentNotOptional = 449,
    KeyAlreadyAssociated = 457,
    IndexOutOfBounds = 35600,
    ElementNotFound = 35601,
    KeyNotUnique = 35602,
    InvalidKey = 35603,
};

// Base of the numbers that components use for their own errors (0x80040000 as a signed Long,
// the way the old runtime stored error numbers).
inline constexpr std::int32_t vbObjectError = static_cast<std::int32_t>(0x80040000u);

class Error : public std::runtime_error {
  public:
    Error(std::int32_t number, std::string description, std::string source = {});

    std::int32_t Number() const noexcept { return number_; }
    const std::string& Description() const noexcept { return description_; }
    const std::string& Source() const noexcept { return source_; }

  private:
    std::int32_t number_;
    std::string description_;
    std::string source_;
};

// The standard text of a run-time error number; "Application-defined or object-defined error"
// for a number the runtime has no text for.
std::string ErrorText(std::int32_t number);

// Raises run-time error `number` with its standard text.
[[noreturn]] void Raise(std::int32_t number, std::string source = {});
// Raises any error number with the caller's own description.
[[noreturn]] void Raise(std::int32_t number, std::string source, std::string description);
// Raises the object error vbObjectError + code with the component's own text.
[[noreturn]] void RaiseObjectError(std::int32_t code, std::string description, std::string source);

// The run-time error the old file functions raised for a failed host call with this errno
// (ENOENT -> 53, EACCES -> 70, ENOSPC -> 61, ...); 75 for anything without a closer match.
std::int32_t RunTimeErrorFromErrno(int error);
// The same for a Win32 error code (GetLastError): ERROR_FILE_NOT_FOUND -> 53,
// ERROR_PATH_NOT_FOUND -> 76, ERROR_ACCESS_DENIED -> 70, ERROR_NOT_READY -> 71, ...
std::int32_t RunTimeErrorFromWin32(std::uint32_t code);

}  // namespace automation
