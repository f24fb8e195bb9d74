#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/automation/CreateObject.h"
#include "platform/automation/Errors.h"
#include "platform/automation/Events.h"
#include "platform/automation/PropertyBag.h"
#include "platform/automation/Variant.h"

namespace automation {
namespace {

class Thing : public Object {
  public:
    int value = 7;
};
class Other : public Object {};

TEST(Variant, VarTypeAndTypeName) {
    const struct {
        Variant value;
        int type;
        const char* name;
    } cases[] = {
        {Variant(), vbEmpty, "Empty"},
        {Null, vbNull, "Null"},
        {std::int16_t{1}, vbInteger, "Integer"},
        {1, vbLong, "Long"},
        {1.0f, vbSingle, "Single"},
        {1.0, vbDouble, "Double"},
        {Currency{}, vbCurrency, "Currency"},
        {Date(1.0), vbDate, "Date"},
        {"x", vbString, "String"},
        {true, vbBoolean, "Boolean"},
        {std::uint8_t{1}, vbByte, "Byte"},
        {ByteArray{}, vbArray + vbByte, "Byte()"},
        {StringArray{}, vbArray + vbString, "String()"},
        {VariantArray{}, vbArray + vbVariant, "Variant()"},
        {VariantArray2D(0, 1, 0, 1), vbArray + vbVariant, "Variant()"},
        {ObjectRef(std::make_shared<Thing>()), vbObject, "Object"},
        {ObjectRef(), vbObject, "Nothing"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.value.VarType(), c.type) << c.name;
        EXPECT_EQ(c.value.TypeName(), c.name);
        EXPECT_EQ(c.value.IsArray(), (c.type & vbArray) != 0) << c.name;
    }
}

TEST(Variant, EqualValuesFollowsTheRuntimeComparison) {
    const struct {
        Variant a;
        Variant b;
        bool equal;
    } cases[] = {
        {std::int16_t{5}, 5, true},
        {5, 5.0, true},
        {true, -1, true},
        {false, 0.0, true},
        {Variant(), 0, true},
        {Variant(), "", true},
        {Variant(), Variant(), true},
        {"a", "a", true},
        {"a", "A", false},
        {"5", 5, false},  // a number never equals a string
        {Null, Null, false},
        {Null, Variant(), false},
        {Currency::FromScaled(10000), 1, true},
        {Date(2.0), 2.0, true},
        {StringArray{"a", "b"}, StringArray{"a", "b"}, true},
        {StringArray{"a"}, StringArray(std::vector<std::string>{"a"}, 1), false},
        {VariantArray{1, "x"}, VariantArray{1.0, "x"}, true},
        {VariantArray{1}, StringArray{"1"}, false},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(EqualValues(cases[i].a, cases[i].b), cases[i].equal) << "case " << i;
        EXPECT_EQ(EqualValues(cases[i].b, cases[i].a), cases[i].equal) << "case " << i;
    }
    // Structural equality, by contrast, needs the same kind.
    EXPECT_NE(Variant(std::int16_t{5}), Variant(5));
    EXPECT_EQ(Variant(Null), Variant(Null));
}

TEST(Arrays, BoundsAndSubscripts) {
    StringArray names(std::vector<std::string>{"a", "b", "c"}, 1);
    EXPECT_EQ(names.LBound(), 1);
    EXPECT_EQ(names.UBound(), 3);
    EXPECT_EQ(names[3], "c");
    EXPECT_THROW(names[0], Error);
    EXPECT_THROW(names[4], Error);

    StringArray empty;
    EXPECT_EQ(empty.UBound(), -1);
    names.ReDimPreserve(4);
    EXPECT_EQ(names[1], "a");
    EXPECT_EQ(names[4], "");
    names.ReDim(0, -1);
    EXPECT_TRUE(names.empty());

    VariantArray2D grid(1, 2, 0, 2);
    grid(2, 2) = "corner";
    EXPECT_EQ(grid.UBound(1), 2);
    EXPECT_EQ(grid.UBound(2), 2);
    grid.ReDimPreserve(3);
    EXPECT_EQ(grid(2, 2), Variant("corner"));
    EXPECT_EQ(grid(2, 3), Variant());
    EXPECT_THROW(grid(3, 0), Error);
    EXPECT_THROW(grid.LBound(3), Error);
    VariantArray2D noColumns(0, 4, 0, -1);
    EXPECT_EQ(noColumns.UBound(1), 4);
    EXPECT_EQ(noColumns.UBound(2), -1);

    const Variant v = VariantArray(std::vector<Variant>{1, 2}, 5);
    EXPECT_EQ(LBound(v), 5);
    EXPECT_EQ(UBound(v), 6);
    try {
        UBound(Variant(3));
        FAIL() << "UBound of a number";
    } catch (const Error& e) {
        EXPECT_EQ(e.Number(), TypeMismatch);
    }
    EXPECT_THROW(UBound(v, 2), Error);
    EXPECT_EQ(UBound(Variant(grid), 2), 3);
}

TEST(PropertyBag, DefaultsAreNotStored) {
    PropertyBag bag;
    bag.WriteProperty("TopElement", "XML", Variant("XML"));
    EXPECT_FALSE(bag.Contains("TopElement"));
    EXPECT_EQ(bag.ReadProperty("TopElement", "XML"), Variant("XML"));

    bag.WriteProperty("TopElement", "PAD", Variant("XML"));
    EXPECT_TRUE(bag.Contains("topelement"));
    EXPECT_EQ(bag.ReadProperty("TOPELEMENT", "XML"), Variant("PAD"));

    // Writing the default again forgets the stored value.
    bag.WriteProperty("TopElement", "XML", Variant("XML"));
    EXPECT_FALSE(bag.Contains("TopElement"));

    // Equality is the runtime's: 0 equals False; no default means always stored.
    bag.WriteProperty("Flag", std::int16_t{0}, Variant(false));
    EXPECT_FALSE(bag.Contains("Flag"));
    bag.WriteProperty("Flag", false);
    EXPECT_EQ(bag.ReadProperty("Flag", true), Variant(false));
    bag.WriteProperty("Other", Null, Variant(Null));
    EXPECT_TRUE(bag.Contains("Other"));

    EXPECT_EQ(bag.ReadProperty("Missing"), Variant());
    ASSERT_EQ(bag.Properties().size(), 2u);
    EXPECT_EQ(bag.Properties()[0].first, "Flag");
}

TEST(Events, HandlersRunInOrderAndCanDisconnect) {
    PropertyChangedEvent changed;
    std::vector<std::string> seen;
    EXPECT_FALSE(changed.HasHandlers());
    const auto first =
        changed.Connect([&](const std::string& name) { seen.push_back("1" + name); });
    changed.Connect([&](const std::string& name) { seen.push_back("2" + name); });
    changed("PADFile");
    changed.Disconnect(first);
    changed("TopElement");
    EXPECT_EQ(seen, (std::vector<std::string>{"1PADFile", "2PADFile", "2TopElement"}));

    // A handler that connects another one during the raise affects the next raise only.
    Event<> event;
    int calls = 0;
    event.Connect([&] {
        ++calls;
        event.Connect([&] { calls += 100; });
    });
    event();
    EXPECT_EQ(calls, 1);
}

TEST(CreateObject, ByProgIDWithoutRegardToCase) {
    const ProgIDRegistration registration("Test.Thing", [] { return std::make_shared<Thing>(); });
    EXPECT_TRUE(IsProgIDRegistered("test.thing"));
    auto object = CreateObjectAs<Thing>("TEST.THING");
    EXPECT_EQ(object->value, 7);
    EXPECT_NE(CreateObject("Test.Thing"), CreateObject("Test.Thing"));

    try {
        CreateObjectAs<Other>("Test.Thing");
        FAIL() << "wrong class";
    } catch (const Error& e) {
        EXPECT_EQ(e.Number(), TypeMismatch);
    }
    UnregisterProgID("Test.Thing");
    try {
        CreateObject("Test.Thing");
        FAIL() << "unregistered";
    } catch (const Error& e) {
        EXPECT_EQ(e.Number(), CannotCreateObject);
        EXPECT_EQ(e.Description(), "ActiveX component can't create object");
    }
    // A factory may decline (the class cannot work on this host).
    RegisterProgID("Test.Unavailable", [] { return std::shared_ptr<Object>(); });
    EXPECT_THROW(CreateObject("Test.Unavailable"), Error);
    UnregisterProgID("Test.Unavailable");
}

TEST(Errors, NumbersTextsAndSources) {
    const struct {
        std::int32_t number;
        const char* text;
    } cases[] = {
        {5, "Invalid procedure call or argument"},
        {6, "Overflow"},
        {9, "Subscript out of range"},
        {13, "Type mismatch"},
        {53, "File not found"},
        {68, "Device unavailable"},
        {70, "Permission denied"},
        {75, "Path/File access error"},
        {76, "Path not found"},
        {429, "ActiveX component can't create object"},
        {35602, "Key is not unique in collection"},
        {12345, "Application-defined or object-defined error"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ErrorText(c.number), c.text);
    }
    try {
        Raise(FileNotFound, "QzFile");
    } catch (const Error& e) {
        EXPECT_EQ(e.Number(), 53);
        EXPECT_EQ(e.Source(), "QzFile");
        EXPECT_STREQ(e.what(), "Run-time error 53: File not found");
    }
    try {
        RaiseObjectError(1006, "bad version", "QzXML");
    } catch (const Error& e) {
        EXPECT_EQ(static_cast<std::uint32_t>(e.Number()), 0x800403EEu);
        EXPECT_EQ(e.Description(), "bad version");
        EXPECT_EQ(e.Source(), "QzXML");
    }
    EXPECT_EQ(RunTimeErrorFromErrno(ENOENT), FileNotFound);
    EXPECT_EQ(RunTimeErrorFromErrno(ENOTDIR), PathNotFound);
    EXPECT_EQ(RunTimeErrorFromErrno(EACCES), PermissionDenied);
    EXPECT_EQ(RunTimeErrorFromErrno(ENOSPC), DiskFull);
    EXPECT_EQ(RunTimeErrorFromErrno(EINVAL), PathFileAccessError);
    EXPECT_EQ(RunTimeErrorFromWin32(2), FileNotFound);
    EXPECT_EQ(RunTimeErrorFromWin32(3), PathNotFound);
    EXPECT_EQ(RunTimeErrorFromWin32(5), PermissionDenied);
    EXPECT_EQ(RunTimeErrorFromWin32(21), DiskNotReady);
    EXPECT_EQ(RunTimeErrorFromWin32(9999), PathFileAccessError);
}

}  // namespace
}  // namespace automation
