// The plan reader: a plan it wrote reads back as it was, and anything else (another document,
// a newer version, a damaged plan, a hand edit that touches a file without a fingerprint) is
// refused with a message that says what and where. The times of a plan read in any offset.

#include <gtest/gtest.h>

#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "tools/check/IsoTime.h"
#include "tools/check/Plan.h"

namespace {

using nlohmann::json;
using velto_check::Plan;
using velto_check::PlanError;
using velto_check::ReadPlan;

const std::string kHash(64, 'a');

// A plan as check --plan writes it: one group, a marker and a copy over the older file.
Plan Sample() {
    Plan plan;
    plan.machine = "/home/me/win98";
    plan.made = "2026-03-05T14:07:09+01:00";
    plan.filter = "*.dll";
    plan.listed = 12;
    plan.backup = true;
    plan.notes = {{"X.DLL", "1", "X.DLL: not repaired, company names differ"}};
    velto_check::PlannedGroup& group = plan.groups.emplace_back();
    group.name = "A.DLL";
    group.recommended = "C:\\NEW\\A.DLL";
    for (const char* path : {"C:\\NEW\\A.DLL", "C:\\OLD\\A.DLL"}) {
        velto_check::PlannedFile file;
        file.path = path;
        file.print = {true, 2048, {1000000000, 5}, kHash};
        group.files.push_back(file);
    }
    group.entries = {{{{"4", "", ""}, ""}, true},
                     {{{"1", "C:\\NEW\\A.DLL", "C:\\OLD\\A.DLL"}, "C:\\NEW\\A.DLL"}, true}};
    return plan;
}

TEST(PlanReader, APlanReadsBackAsItWasWritten) {
    const Plan plan = ReadPlan(velto_check::PlanJson(Sample()));
    EXPECT_EQ(plan.machine, "/home/me/win98");
    EXPECT_EQ(plan.listed, 12);
    EXPECT_TRUE(plan.backup);
    EXPECT_EQ(plan.notes, Sample().notes);
    ASSERT_EQ(plan.groups.size(), 1u);
    const velto_check::PlannedGroup& group = plan.groups[0];
    EXPECT_EQ(group.recommended, "C:\\NEW\\A.DLL");
    ASSERT_EQ(group.files.size(), 2u);
    EXPECT_EQ(group.files[1].print.modified.tv_sec, 1000000000);
    EXPECT_EQ(group.files[1].print.modified.tv_nsec, 5);
    EXPECT_EQ(group.files[1].print.sha256, kHash);
    ASSERT_EQ(group.entries.size(), 2u);
    EXPECT_EQ(group.entries[1].decided.entry,
              (vlt::ActionEntry{"1", "C:\\NEW\\A.DLL", "C:\\OLD\\A.DLL"}));
    EXPECT_EQ(group.entries[1].decided.keeps, "C:\\NEW\\A.DLL");
    EXPECT_TRUE(group.entries[1].backup);
}

TEST(PlanReader, WhatIsNoPlanIsRefusedWithWhatAndWhere) {
    const json good = json::parse(velto_check::PlanJson(Sample()));
    const auto edited = [&](const std::function<void(json&)>& edit) {
        json plan = good;
        edit(plan);
        return plan.dump();
    };
    const struct {
        const char* what;
        std::string text;
        std::string message;
    } cases[] = {
        {"not JSON", "{\"schema\": ", "it is no plan: it is not JSON"},
        {"a list", "[]", "plans begin with \"schema\": \"velto-plan\""},
        {"a check's output", R"({"schema": "velto-check", "schemaVersion": 1})",
         "(it is a \"velto-check\" document)"},
        {"a newer version", edited([](json& p) { p["schemaVersion"] = 2; }),
         "the plan is of schema version 2, and this program reads version 1"},
        {"a key missing", edited([](json& p) { p.erase("listed"); }),
         "the plan is damaged: listed is missing"},
        {"a key of the wrong kind",
         edited([](json& p) { p["groups"][0]["actions"][1]["source"] = 7; }),
         "groups[0].actions[1].source is a number, not a string"},
        {"a note the run itself writes", edited([](json& p) { p["notes"][0]["code"] = 7; }),
         "notes[0].code is 7, not 1 (a note) or 2 (an error)"},
        {"a note code out of range", edited([](json& p) { p["notes"][0]["code"] = 99999999999; }),
         "notes[0].code is 99999999999, not 1"},
        {"an action unknown",
         edited([](json& p) { p["groups"][0]["actions"][1]["action"] = "move"; }),
         "groups[0].actions[1].action is \"move\", not one of copy, delete"},
        {"a file without a fingerprint",
         edited([](json& p) { p["groups"][0]["actions"][1]["target"] = "C:\\WINDOWS\\A.DLL"; }),
         "groups[0].actions[1] touches C:\\WINDOWS\\A.DLL, which groups[0].files has no "
         "fingerprint of"},
        {"a hash that is none",
         edited([](json& p) { p["groups"][0]["files"][0]["sha256"] = "abc"; }),
         "groups[0].files[0].sha256 is not 64 lower-case hex digits"},
        {"a time without an offset",
         edited([](json& p) { p["groups"][0]["files"][0]["modified"] = "2001-09-09T01:46:40"; }),
         "groups[0].files[0].modified is no ISO 8601 time with an offset"},
        {"a size below zero", edited([](json& p) { p["groups"][0]["files"][1]["size"] = -1; }),
         "groups[0].files[1].size is negative"},
    };
    for (const auto& c : cases) {
        try {
            ReadPlan(c.text);
            ADD_FAILURE() << c.what << " was read as a plan";
        } catch (const PlanError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
                << c.what << ": " << e.what();
        }
    }
}

TEST(PlanReader, TimesReadInAnyOffsetAndNothingElse) {
    const struct {
        const char* text;
        std::optional<long> seconds;
        long nanoseconds;
    } cases[] = {
        {"2001-09-09T01:46:40Z", 1000000000, 0},
        {"2001-09-09T03:46:40+02:00", 1000000000, 0},
        {"2001-09-08T20:16:40.5-05:30", 1000000000, 500000000},
        {"2001-09-09T01:46:40.000000007+00:00", 1000000000, 7},
        {"2001-09-09T01:46:40", std::nullopt, 0},
        {"2001-13-09T01:46:40Z", std::nullopt, 0},
        {"2001-09-09T01:46:40Z trailing", std::nullopt, 0},
        {"", std::nullopt, 0},
    };
    for (const auto& c : cases) {
        const auto when = velto_check::ParseIsoTime(c.text);
        ASSERT_EQ(when.has_value(), c.seconds.has_value()) << c.text;
        if (when) {
            EXPECT_EQ(when->tv_sec, *c.seconds) << c.text;
            EXPECT_EQ(when->tv_nsec, c.nanoseconds) << c.text;
        }
    }
    // Written in the host's offset, to the nanosecond, it reads back as the same instant.
    const timespec when{1000000000, 123456789};
    const auto back = velto_check::ParseIsoTime(velto_check::IsoTime(when, true));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->tv_sec, when.tv_sec);
    EXPECT_EQ(back->tv_nsec, when.tv_nsec);
}

}  // namespace
