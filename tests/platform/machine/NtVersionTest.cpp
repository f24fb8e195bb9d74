// The NT version from the values of SOFTWARE\Microsoft\Windows NT\CurrentVersion.
#include <gtest/gtest.h>

#include <map>
#include <variant>

#include "platform/machine/NtVersion.h"

namespace {

using Value = std::variant<std::string, std::uint32_t>;

std::optional<machine::WindowsVersion> VersionOf(const std::map<std::string, Value>& key) {
    const auto find = [&](std::string_view name) -> const Value* {
        const auto it = key.find(std::string(name));
        return it == key.end() ? nullptr : &it->second;
    };
    return machine::NtVersionFrom({[&](std::string_view name) -> std::optional<std::string> {
                                       const Value* value = find(name);
                                       return value && std::holds_alternative<std::string>(*value)
                                                  ? std::optional(std::get<std::string>(*value))
                                                  : std::nullopt;
                                   },
                                   [&](std::string_view name) -> std::optional<std::uint32_t> {
                                       const Value* value = find(name);
                                       return value && std::holds_alternative<std::uint32_t>(*value)
                                                  ? std::optional(std::get<std::uint32_t>(*value))
                                                  : std::nullopt;
                                   }});
}

TEST(NtVersion, TheNumbersWindowsKeepsForNewProgramsWinOverTheOldText) {
    struct Case {
        const char* what;
        std::map<std::string, Value> key;
        std::optional<std::string> version;  // "major.minor.build"
    };
    const Case cases[] = {
        {"Windows 10 (and Wine set to it)",
         {{"CurrentVersion", "6.3"},
          {"CurrentMajorVersionNumber", 10u},
          {"CurrentMinorVersionNumber", 0u},
          {"CurrentBuildNumber", "19045"}},
         "10.0.19045"},
        {"Windows 8.1", {{"CurrentVersion", "6.3"}, {"CurrentBuildNumber", "9600"}}, "6.3.9600"},
        {"XP", {{"CurrentVersion", "5.1"}, {"CurrentBuildNumber", "2600"}}, "5.1.2600"},
        {"the build only in the older value",
         {{"CurrentVersion", "5.0"}, {"CurrentBuild", "2195"}},
         "5.0.2195"},
        {"an unreadable build number, the older value readable",
         {{"CurrentVersion", "5.1"}, {"CurrentBuildNumber", "2600.x"}, {"CurrentBuild", "2600"}},
         "5.1.2600"},
        {"no build", {{"CurrentVersion", "6.1"}}, "6.1.0"},
        {"blanks around the numbers",
         {{"CurrentVersion", " 6.1 "}, {"CurrentBuildNumber", " 7601"}},
         "6.1.7601"},
        {"a major number without its minor one",
         {{"CurrentVersion", "6.3"}, {"CurrentMajorVersionNumber", 10u}},
         "6.3.0"},
        {"the numbers as text (not the type Windows writes)",
         {{"CurrentVersion", "6.3"},
          {"CurrentMajorVersionNumber", "10"},
          {"CurrentMinorVersionNumber", "0"}},
         "6.3.0"},
        {"the numbers without the text",
         {{"CurrentMajorVersionNumber", 10u}, {"CurrentMinorVersionNumber", 0u}},
         "10.0.0"},
        {"no dot", {{"CurrentVersion", "6"}}, std::nullopt},
        {"no number after the dot", {{"CurrentVersion", "6."}}, std::nullopt},
        {"a word", {{"CurrentVersion", "six.one"}}, std::nullopt},
        {"the version as a number", {{"CurrentVersion", 6u}}, std::nullopt},
        {"nothing", {}, std::nullopt},
    };
    for (const Case& c : cases) {
        const auto version = VersionOf(c.key);
        EXPECT_EQ(version ? std::optional(std::to_string(version->major) + "." +
                                          std::to_string(version->minor) + "." +
                                          std::to_string(version->build))
                          : std::nullopt,
                  c.version)
            << c.what;
    }
}

}  // namespace
