// The automation value that crosses every control boundary.
//
// A Variant holds exactly one of the kinds the old runtime passed between components. Integer
// is 16-bit, Long 32-bit, Currency a 64-bit count of ten-thousandths, Date an automation date;
// a Boolean converts to the number -1 when true. Strings are UTF-8. Arrays keep their lower
// bound. Conversions between kinds follow the runtime's rules and live in Conversion.h.
#pragma once

#include <compare>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

#include "platform/automation/Array.h"
#include "platform/automation/Date.h"
#include "platform/automation/Object.h"

namespace automation {

enum VbVarType : int {
    vbEmpty = 0,
    vbNull = 1,
    vbInteger = 2,
    vbLong = 3,
    vbSingle = 4,
    vbDouble = 5,
    vbCurrency = 6,
    vbDate = 7,
    vbString = 8,
    vbObject = 9,
    vbError = 10,
    vbBoolean = 11,
    vbVariant = 12,
    vbDataObject = 13,
    vbDecimal = 14,
    vbByte = 17,
    vbArray = 8192,
};

// Fixed-point money value with four decimal places.
struct Currency {
    std::int64_t scaled = 0;  // value * 10000

    static constexpr Currency FromScaled(std::int64_t scaled) {
        Currency c;
        c.scaled = scaled;
        return c;
    }
    double ToDouble() const noexcept { return static_cast<double>(scaled) / 10000.0; }
    friend constexpr bool operator==(Currency, Currency) = default;
    friend constexpr auto operator<=>(Currency, Currency) = default;
};

struct NullValue {
    friend constexpr bool operator==(NullValue, NullValue) = default;
};
inline constexpr NullValue Null{};

class Variant;
using ByteArray = Array<std::uint8_t>;
using StringArray = Array<std::string>;
using VariantArray = Array<Variant>;
using VariantArray2D = Array2D<Variant>;
using ObjectRef = std::shared_ptr<Object>;

class Variant {
  public:
    Variant() = default;  // Empty
    Variant(NullValue) : value_(NullValue{}) {}
    Variant(std::int16_t v) : value_(v) {}
    Variant(std::int32_t v) : value_(v) {}
    Variant(float v) : value_(v) {}
    Variant(double v) : value_(v) {}
    Variant(Currency v) : value_(v) {}
    Variant(Date v) : value_(v) {}
    Variant(std::string v) : value_(std::move(v)) {}
    Variant(std::string_view v) : value_(std::string(v)) {}
    Variant(const char* v) : value_(std::string(v)) {}
    Variant(bool v) : value_(v) {}
    Variant(std::uint8_t v) : value_(v) {}
    Variant(ByteArray v) : value_(std::move(v)) {}
    Variant(StringArray v) : value_(std::move(v)) {}
    Variant(VariantArray v) : value_(std::move(v)) {}
    Variant(VariantArray2D v) : value_(std::move(v)) {}
    Variant(ObjectRef v) : value_(std::move(v)) {}
    // A plain char would silently become a number; say what is meant instead.
    Variant(char) = delete;

    // vbEmpty ... vbByte, with vbArray added for arrays (vbArray + vbByte for a byte array).
    int VarType() const noexcept;
    // The runtime's TypeName: "Empty", "Null", "Integer", ..., "Byte()", "String()", "Variant()".
    std::string TypeName() const;

    bool IsEmpty() const noexcept { return std::holds_alternative<std::monostate>(value_); }
    bool IsNull() const noexcept { return std::holds_alternative<NullValue>(value_); }
    bool IsArray() const noexcept { return (VarType() & vbArray) != 0; }
    bool IsObject() const noexcept { return std::holds_alternative<ObjectRef>(value_); }
    // Integer, Long, Single, Double, Currency, Boolean or Byte (not strings, not dates).
    bool HoldsNumber() const noexcept;

    // The held value when it is exactly that kind, else nullptr.
    template <class T>
    const T* get_if() const noexcept {
        return std::get_if<T>(&value_);
    }
    template <class T>
    T* get_if() noexcept {
        return std::get_if<T>(&value_);
    }

    // Same kind and same value (Null equals Null); the runtime's "=" is EqualValues.
    friend bool operator==(const Variant& a, const Variant& b) { return a.value_ == b.value_; }

  private:
    std::variant<std::monostate, NullValue, std::int16_t, std::int32_t, float, double, Currency,
                 Date, std::string, bool, std::uint8_t, ByteArray, StringArray, VariantArray,
                 VariantArray2D, ObjectRef>
        value_;
};

// The runtime's "=" between two variants: numbers (Boolean, Date and Currency included) compare
// by value, strings compare binary, Empty equals 0 and "", a number never equals a string,
// Null equals nothing (not even Null); arrays are equal when their bounds and elements are.
bool EqualValues(const Variant& a, const Variant& b);

// LBound/UBound of an array variant; raise 13 for a non-array, 9 for a dimension it lacks.
std::int32_t LBound(const Variant& array, int dimension = 1);
std::int32_t UBound(const Variant& array, int dimension = 1);

}  // namespace automation
