#include "platform/automation/Variant.h"

#include <optional>

#include "platform/automation/Errors.h"

namespace automation {

Object::~Object() = default;

void RaiseSubscriptOutOfRange() {
    Raise(SubscriptOutOfRange);
}

namespace {

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

// The value of a variant that takes part in numeric comparison, Empty as 0.
std::optional<double> NumericValue(const Variant& v) {
    if (v.IsEmpty()) {
        return 0.0;
    }
    if (const auto* p = v.get_if<std::int16_t>()) {
        return *p;
    }
    if (const auto* p = v.get_if<std::int32_t>()) {
        return *p;
    }
    if (const auto* p = v.get_if<float>()) {
        return *p;
    }
    if (const auto* p = v.get_if<double>()) {
        return *p;
    }
    if (const auto* p = v.get_if<Currency>()) {
        return p->ToDouble();
    }
    if (const auto* p = v.get_if<Date>()) {
        return p->serial;
    }
    if (const auto* p = v.get_if<bool>()) {
        return *p ? -1.0 : 0.0;
    }
    if (const auto* p = v.get_if<std::uint8_t>()) {
        return *p;
    }
    return std::nullopt;
}

template <class T>
bool ArraysEqual(const Variant& a, const Variant& b) {
    const auto* x = a.get_if<T>();
    const auto* y = b.get_if<T>();
    return x != nullptr && y != nullptr && *x == *y;
}

bool VariantArraysEqual(const VariantArray& x, const VariantArray& y) {
    if (x.LBound() != y.LBound() || x.size() != y.size()) {
        return false;
    }
    for (std::int32_t i = x.LBound(); i <= x.UBound(); ++i) {
        if (!EqualValues(x[i], y[i])) {
            return false;
        }
    }
    return true;
}

bool VariantArrays2DEqual(const VariantArray2D& x, const VariantArray2D& y) {
    for (int d = 1; d <= 2; ++d) {
        if (x.LBound(d) != y.LBound(d) || x.UBound(d) != y.UBound(d)) {
            return false;
        }
    }
    for (std::int32_t i = x.LBound(1); i <= x.UBound(1); ++i) {
        for (std::int32_t j = x.LBound(2); j <= x.UBound(2); ++j) {
            if (!EqualValues(x(i, j), y(i, j))) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

int Variant::VarType() const noexcept {
    return std::visit(Overloaded{
                          [](std::monostate) { return int{vbEmpty}; },
                          [](NullValue) { return int{vbNull}; },
                          [](std::int16_t) { return int{vbInteger}; },
                          [](std::int32_t) { return int{vbLong}; },
                          [](float) { return int{vbSingle}; },
                          [](double) { return int{vbDouble}; },
                          [](Currency) { return int{vbCurrency}; },
                          [](Date) { return int{vbDate}; },
                          [](const std::string&) { return int{vbString}; },
                          [](bool) { return int{vbBoolean}; },
                          [](std::uint8_t) { return int{vbByte}; },
                          [](const ByteArray&) { return vbArray + vbByte; },
                          [](const StringArray&) { return vbArray + vbString; },
                          [](const VariantArray&) { return vbArray + vbVariant; },
                          [](const VariantArray2D&) { return vbArray + vbVariant; },
                          [](const ObjectRef&) { return int{vbObject}; },
                      },
                      value_);
}

std::string Variant::TypeName() const {
    if (const auto* object = get_if<ObjectRef>()) {
        return *object ? "Object" : "Nothing";
    }
    static constexpr struct {
        int type;
        const char* name;
    } kNames[] = {{vbEmpty, "Empty"},       {vbNull, "Null"},     {vbInteger, "Integer"},
                  {vbLong, "Long"},         {vbSingle, "Single"}, {vbDouble, "Double"},
                  {vbCurrency, "Currency"}, {vbDate, "Date"},     {vbString, "String"},
                  {vbBoolean, "Boolean"},   {vbByte, "Byte"},     {vbVariant, "Variant"}};
    const int type = VarType() & ~vbArray;
    for (const auto& entry : kNames) {
        if (entry.type == type) {
            return std::string(entry.name) + (IsArray() ? "()" : "");
        }
    }
    return "Unknown";
}

bool Variant::HoldsNumber() const noexcept {
    switch (VarType()) {
        case vbInteger:
        case vbLong:
        case vbSingle:
        case vbDouble:
        case vbCurrency:
        case vbBoolean:
        case vbByte:
            return true;
        default:
            return false;
    }
}

bool EqualValues(const Variant& a, const Variant& b) {
    if (a.IsNull() || b.IsNull()) {
        return false;
    }
    const auto* textA = a.get_if<std::string>();
    const auto* textB = b.get_if<std::string>();
    if (textA != nullptr && textB != nullptr) {
        return *textA == *textB;
    }
    if ((textA != nullptr && b.IsEmpty()) || (textB != nullptr && a.IsEmpty())) {
        return (textA != nullptr ? *textA : *textB).empty();
    }
    if (a.IsArray() || b.IsArray()) {
        if (const auto* x = a.get_if<VariantArray>()) {
            const auto* y = b.get_if<VariantArray>();
            return y != nullptr && VariantArraysEqual(*x, *y);
        }
        if (const auto* x = a.get_if<VariantArray2D>()) {
            const auto* y = b.get_if<VariantArray2D>();
            return y != nullptr && VariantArrays2DEqual(*x, *y);
        }
        return ArraysEqual<ByteArray>(a, b) || ArraysEqual<StringArray>(a, b);
    }
    if (a.IsObject() || b.IsObject()) {
        const auto* x = a.get_if<ObjectRef>();
        const auto* y = b.get_if<ObjectRef>();
        return x != nullptr && y != nullptr && *x == *y;
    }
    const auto x = NumericValue(a);
    const auto y = NumericValue(b);
    return x && y && *x == *y;
}

namespace {

std::int32_t Bound(const Variant& array, int dimension, bool upper) {
    if (const auto* a = array.get_if<VariantArray2D>()) {
        return upper ? a->UBound(dimension) : a->LBound(dimension);
    }
    const auto bound = [&](const auto* a) -> std::int32_t {
        if (dimension != 1) {
            Raise(SubscriptOutOfRange);
        }
        return upper ? a->UBound() : a->LBound();
    };
    if (const auto* a = array.get_if<ByteArray>()) {
        return bound(a);
    }
    if (const auto* a = array.get_if<StringArray>()) {
        return bound(a);
    }
    if (const auto* a = array.get_if<VariantArray>()) {
        return bound(a);
    }
    Raise(TypeMismatch);
}

}  // namespace

std::int32_t LBound(const Variant& array, int dimension) {
    return Bound(array, dimension, false);
}
std::int32_t UBound(const Variant& array, int dimension) {
    return Bound(array, dimension, true);
}

}  // namespace automation
