// Conversions between automation values with the runtime's rules.
//
// - Whole-number conversions (CInt, CLng, CByte, Round) round halves to the even number
//   (0.5 -> 0, 1.5 -> 2, 2.5 -> 2, -2.5 -> -2) and raise run-time error 6 (Overflow) when the
//   result does not fit.
// - Numbers read from text accept blanks around them, a sign, grouping commas in the whole
//   part, a decimal point, an exponent (E or D) and the &H / &O prefixes; anything else raises
//   13 (Type mismatch). Null raises 94 (Invalid use of Null); arrays and objects raise 13.
// - Booleans: True is -1 as a number, any non-zero number is True, the texts "True"/"False"
//   (any case) convert both ways.
// - Text of numbers: at most 15 significant digits for Double, 7 for Single, an exponent
//   ("1E+15", "5.6789E-12") when the number is too large or too small for plain digits.
// - Text of dates: the general date of the current locale (see Format.h), the time only for
//   day 0 and the date only at midnight.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/automation/Variant.h"

namespace automation {

std::string CStr(const Variant& value);
std::int16_t CInt(const Variant& value);
std::int32_t CLng(const Variant& value);
std::uint8_t CByte(const Variant& value);
float CSng(const Variant& value);
double CDbl(const Variant& value);
Currency CCur(const Variant& value);
bool CBool(const Variant& value);
Date CDate(const Variant& value);

// True when CDbl would succeed (Empty and Booleans count as numeric, Null does not).
bool IsNumeric(const Variant& value);
// True for a Date, and for a string that CDate can read.
bool IsDate(const Variant& value);

// Half-to-even rounding to `digits` decimal places (0..22); raises 5 for other digit counts.
double Round(double value, int digits = 0);
// Half-to-even rounding to a whole number within [min, max]; raises 6 outside.
std::int64_t RoundToWhole(double value, std::int64_t min, std::int64_t max);

// The leading number of a text, as Val reads it: blanks, tabs and line feeds are ignored
// wherever they are; then an optional sign, digits, a decimal point and an exponent (E or D),
// or "&H"/"&O" and hexadecimal/octal digits (up to 4 hex digits read as a 16-bit Integer, up to
// 8 as a 32-bit Long, so "&HFFFF" is -1); reading stops at the first character that cannot
// continue the number. "12abc" -> 12, "" -> 0, "abc" -> 0. Raises 6 when the number overflows.
double Val(std::string_view text);

// Upper-case hexadecimal text without prefix; negative Integers give 4 digits, negative Longs
// 8 (two's complement). Numbers are first rounded to a whole Long; Null raises 94.
std::string Hex(const Variant& value);
std::string Oct(const Variant& value);

// Decimal text of a double with the runtime's rules (up to `significantDigits` digits).
std::string NumberText(double value, int significantDigits = 15);

}  // namespace automation
