// A fresh link and a fresh simulated controller for every test, and helpers
// that show the controller's view of what was sent.
#pragma once

#include "connection/connection.h"
#include "link/commands.h"
#include "link/link.h"
#include "patterns/command_run.h"
#include "patterns/lut.h"
#include "sim/sim_controller.h"
#include "tests/link_reset.h"
#include "tests/other_program.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

// Whether the system tells where a module is plugged in: Linux does through
// libudev (the simulated modules sit at ports 1-1, 1-2, ...); on Windows
// each HID interface is a module of its own, known by its path alone.
#ifdef _WIN32
inline constexpr bool kPortsKnown = false;
#else
inline constexpr bool kPortsKnown = true;
#endif

// The port the list shows for the nth simulated module (from 1).
inline std::string ListedPort(int n) { return kPortsKnown ? "1-" + std::to_string(n) : ""; }

// Names a parameterised case by its `name` field.
struct CaseName {
    template <class Param>
    std::string operator()(const ::testing::TestParamInfo<Param>& param) const
    {
        return param.param.name;
    }
};

class SimTest : public ::testing::Test {
protected:
    void SetUp() override { ResetLinkState(); }

    // Nothing may ever touch a closed handle, whatever the test did. What it
    // changed does not reach the next test, fixture or not.
    void TearDown() override
    {
        EXPECT_THAT(sim::Violations(), ::testing::IsEmpty());
        ResetLinkState();
    }

    // Opens the simulated module and forgets the calls that took.
    static void Connect()
    {
        ASSERT_TRUE(lumora::ConnectDevice());
        sim::ClearRecords();
    }

    // The packets as the controller decoded them: "CmdLedEnable [08]".
    static std::vector<std::string> Sent()
    {
        std::vector<std::string> described;
        for (const sim::Packet& packet : sim::Packets()) {
            described.push_back(sim::Describe(packet));
        }
        return described;
    }

    // The hidapi functions called, in order.
    static std::vector<std::string> CallNames()
    {
        std::vector<std::string> names;
        for (const sim::Call& call : sim::Calls()) {
            names.push_back(call.function);
        }
        return names;
    }
};

// As SimTest, with the start tail's one-second pause skipped (and recorded
// where it fell) and a short bound on a controller that stays busy checking
// the tables.
class FastPresetTest : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        pauses.clear();
        lumora::SetPauseFunction(RecordPause);
        lumora::SetStatusPollBound(std::chrono::milliseconds(20));
    }

    // Where the pauses fell: the number of packets sent before each.
    inline static std::vector<std::size_t> pauses;

private:
    static void RecordPause(int milliseconds)
    {
        EXPECT_EQ(milliseconds, 1000);
        pauses.push_back(sim::Packets().size());
    }
};
