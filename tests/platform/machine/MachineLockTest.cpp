// One writer per machine: a second lock is refused with the holder's name, readers see the
// holder without taking anything, and nothing stays in the folder once the holder lets go.
#include "platform/machine/MachineLock.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/MachineBuilder.h"

namespace {

TEST(MachineLock, OneHolderAtATimeAndReadersSeeWhoItIs) {
    testsupport::MachineBuilder builder;
    const auto folder = builder.folder();
    const auto file = folder / machine::MachineLock::kFileName;
    const std::string pid = std::to_string(::getpid());
    EXPECT_EQ(machine::LockHolder(folder), std::nullopt);
    EXPECT_TRUE(builder.machine()->holders().empty());
    {
        const machine::MachineLock first(folder, "vlt -S");
        const std::string holder = "vlt -S (process " + pid + ")";
        EXPECT_EQ(machine::LockHolder(folder), holder);
        EXPECT_EQ(
            builder.machine()->holders(),
            std::vector<std::string>{"a run holds the machine: " + holder + " is changing it"});
        try {
            const machine::MachineLock second(folder, "velto-machine boot");
            ADD_FAILURE() << "a second holder was let in";
        } catch (const machine::MachineBusy& e) {
            EXPECT_EQ(std::string(e.what()),
                      "the machine in " + folder.string() + " is in use: " + holder +
                          " is changing it; one process at a time may change a machine, so "
                          "try again once it has ended");
        }
        // The refused one leaves the holder's file alone.
        EXPECT_EQ(machine::LockHolder(folder), holder);
    }
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(machine::LockHolder(folder), std::nullopt);

    // A file a killed holder left behind holds no lock: nobody holds the machine, and the
    // next writer takes the file over.
    std::ofstream(file) << "vlt -S (process 1)\n";
    EXPECT_EQ(machine::LockHolder(folder), std::nullopt);
    {
        const machine::MachineLock next(folder, "velto-machine reg import");
        EXPECT_EQ(machine::LockHolder(folder), "velto-machine reg import (process " + pid + ")");
    }
    EXPECT_FALSE(std::filesystem::exists(file));
}

}  // namespace
