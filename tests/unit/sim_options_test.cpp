#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "engine/model.h"
#include "server/model_settings.h"
#include "server/sim_options.h"

namespace tvx::sim {
namespace {

ParseOutcome parse(std::vector<const char*> args, SimOptions* o, std::string* message) {
    args.insert(args.begin(), "tavrix-sim");
    return parseSimArguments(static_cast<int>(args.size()), args.data(), o, message);
}

TEST(SimOptions, ParsesAFullCommandLine) {
    SimOptions o;
    std::string message;
    ASSERT_EQ(parse({"--address", "127.0.0.21", "--port=1502", "--seed", "99", "--drop-requests", "10%", "--drop-probes", "0.3",
                     "--drop-replies=0.25", "--duplicate", "0.5", "--reorder", "1", "--corrupt", "0", "--noise", "5%",
                     "--delay-ms", "20", "--jitter-ms=7", "--silent", "--trace", "--no-broadcast", "--set", "axes=4",
                     "--config", "sim.conf", "--store-mib", "64"},
                    &o, &message),
              ParseOutcome::run)
        << message;
    EXPECT_EQ(o.address, "127.0.0.21");
    EXPECT_EQ(o.ip, 0x7F000015u);
    EXPECT_EQ(o.port, 1502);
    EXPECT_EQ(o.faults.seed, 99u);
    EXPECT_DOUBLE_EQ(o.faults.dropRequests, 0.10);
    EXPECT_DOUBLE_EQ(o.faults.dropReplies, 0.25);
    EXPECT_DOUBLE_EQ(o.faults.dropProbes, 0.3);
    EXPECT_DOUBLE_EQ(o.faults.duplicateReplies, 0.5);
    EXPECT_DOUBLE_EQ(o.faults.reorderReplies, 1.0);
    EXPECT_DOUBLE_EQ(o.faults.noise, 0.05);
    EXPECT_EQ(o.faults.delayMs, 20u);
    EXPECT_EQ(o.faults.jitterMs, 7u);
    EXPECT_TRUE(o.faults.silent);
    EXPECT_TRUE(o.trace);
    EXPECT_FALSE(o.broadcast);
    EXPECT_EQ(o.settings, std::vector<std::string>{"axes=4"});
    EXPECT_EQ(o.configFile, "sim.conf");
    EXPECT_EQ(o.storeMiB, 64u);
}

TEST(SimOptions, RefusesBadCommandLines) {
    const std::vector<std::vector<const char*>> bad = {
        {"--address", "192.168.1.10"},  // not loopback
        {"--address", "127.1"},         // shorthand form
        {"--address", "127.0.0.300"},
        {"--address"},
        {"--port", "0"},
        {"--port", "65536"},
        {"--drop-replies", "1.5"},
        {"--drop-replies", "-0.1"},
        {"--noise", "abc"},
        {"--delay-ms", "60001"},
        {"--seed", "-3"},
        {"--set", "axes"},
        {"--store-mib", "0"},
        {"--store-mib", "65537"},
        {"--trace=1"},
        {"--bogus"},
    };
    for (const auto& args : bad) {
        SimOptions o;
        std::string message;
        EXPECT_EQ(parse(args, &o, &message), ParseOutcome::error) << args[0];
        EXPECT_FALSE(message.empty());
    }
    SimOptions o;
    std::string message;
    EXPECT_EQ(parse({"--trace", "--help"}, &o, &message), ParseOutcome::help);
}

TEST(SimSettings, SetModelFields) {
    ControllerModel m;
    std::string error;
    const std::vector<std::pair<const char*, const char*>> settings = {
        {"axes", "12"},           {"state", "3"},          {"stopped-task", "2"},   {"client-id", "0x11"},
        {"soft-id", "-1"},        {"hard-id", "4294967295"}, {"chip-id", "7"},      {"error", "262"},
        {"version", "0x050000"},  {"version-text", "SIM 5.0"}, {"version-date", "20270101"}, {"ip", "127.0.0.9"},
        {"mac", "0A0B0C0D0E0F"},  {"inputs", "0, 3, 8-10"}, {"outputs", "4095"},    {"ain.31", "-2.5"},
        {"axis-features.3", "9"}, {"task.21", "MAIN"},     {"child-cards", "2"},    {"sysspec", "aa bb:cc-dd ee ff"},
        {"transfer-state", "off"},
    };
    for (const auto& [key, value] : settings) ASSERT_TRUE(applySetting(m, key, value, &error)) << key << ": " << error;
    EXPECT_EQ(m.axisCount, 12);
    EXPECT_EQ(m.runState, 3);
    EXPECT_EQ(m.stoppedTask, 2);
    EXPECT_EQ(m.clientId, 0x11);
    EXPECT_EQ(m.softId, -1);
    EXPECT_EQ(m.hardId, -1);
    EXPECT_EQ(m.errorCode, 262);
    EXPECT_EQ(m.softVersion, 0x050000u);
    EXPECT_EQ(m.versionText, "SIM 5.0");
    EXPECT_EQ(m.versionDate, 20270101u);
    EXPECT_EQ(m.ipText, "127.0.0.9");
    EXPECT_EQ(m.macText, "0A0B0C0D0E0F");
    EXPECT_TRUE(m.input(0) && m.input(3) && m.input(8) && m.input(10));
    EXPECT_FALSE(m.input(1) || m.input(11));
    EXPECT_TRUE(m.output(4095));
    EXPECT_FLOAT_EQ(m.analogIn[31], -2.5f);
    EXPECT_EQ(m.axes[3].features, 9);
    EXPECT_EQ(m.tasks[21].text, "MAIN");
    EXPECT_EQ(m.childCardCount, 2);
    EXPECT_FALSE(m.transferStateSupported);
    // The system record keeps the axis count in bytes 4-5 whatever was given.
    EXPECT_EQ(m.sysSpecification[0], 0xAA);
    EXPECT_EQ(m.sysSpecification[3], 0xDD);
    EXPECT_EQ(getU16(m.sysSpecification.data() + 4), 12);
    EXPECT_EQ(m.sysSpecification[6], 0);
}

TEST(SimSettings, RefusesBadValuesAndLeavesTheModelAlone) {
    const std::string tooLongSpec(122, 'a');  // 61 bytes
    const std::vector<std::pair<const char*, const char*>> bad = {
        {"axes", "65"},         {"axes", "-1"},          {"state", "256"},
        {"client-id", "0x1FFFFFFFF"}, {"version-text", "12345678901234567"}, {"mac", "0123456789ABCD"},
        {"inputs", "4096"},     {"inputs", "5-2"},       {"inputs", "1,,2"},
        {"ain.32", "1"},        {"ain.1", "nan"},        {"task.22", "X"},
        {"child-cards", "9"},   {"sysspec", tooLongSpec.c_str()}, {"sysspec", "abc"},
        {"transfer-state", "yes"}, {"colour", "blue"},
    };
    for (const auto& [key, value] : bad) {
        ControllerModel m;
        std::string error;
        EXPECT_FALSE(applySetting(m, key, value, &error)) << key << "=" << value;
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(m.axisCount, ControllerModel().axisCount);
        EXPECT_EQ(m.inputs, ControllerModel().inputs);
        EXPECT_EQ(m.sysSpecification, ControllerModel().sysSpecification);
    }
}

TEST(SimSettings, ConfigFileReportsTheFailingLine) {
    const std::string path = ::testing::TempDir() + "tavrix_sim_settings.conf";
    {
        std::ofstream f(path);
        f << "# a simulated controller\n\naxes = 6\nversion-text   LAB 1\ninputs=1-2\n";
    }
    ControllerModel m;
    std::string error;
    ASSERT_TRUE(loadSettingsFile(m, path, &error)) << error;
    EXPECT_EQ(m.axisCount, 6);
    EXPECT_EQ(m.versionText, "LAB 1");
    EXPECT_TRUE(m.input(2));
    {
        std::ofstream f(path);
        f << "axes = 6\n\nstate = many\n";
    }
    EXPECT_FALSE(loadSettingsFile(m, path, &error));
    EXPECT_NE(error.find(":3: state"), std::string::npos) << error;
    std::remove(path.c_str());
    EXPECT_FALSE(loadSettingsFile(m, path, &error));
}

// The help and the manual page come from one table; every option they name
// must be one the parser takes, and the page must carry each of them.
TEST(SimOptions, HelpAndManualPageNameTheOptionsTheParserTakes) {
    const std::string usage = simUsage();
    const std::string page = simManPage("9.9");
    std::vector<std::string> names;
    for (size_t at = usage.find("\n  --"); at != std::string::npos; at = usage.find("\n  --", at + 1)) {
        const size_t from = at + 3;
        names.push_back(usage.substr(from, usage.find_first_of(" \n", from) - from));
    }
    ASSERT_GE(names.size(), 30u) << usage;
    for (const std::string& name : names) {
        SimOptions o;
        std::string message;
        parse({name.c_str()}, &o, &message);
        EXPECT_EQ(message.find("unknown option"), std::string::npos) << name << ": " << message;
        std::string roffName;
        for (char c : name) roffName += c == '-' ? std::string("\\-") : std::string(1, c);
        const bool listed = page.find(".B " + roffName + "\n") != std::string::npos ||
                            page.find(".B " + roffName + " \\fI") != std::string::npos;
        EXPECT_TRUE(listed) << name << " is not in the page";
    }
    // A man page starts with its title line and has the usual sections.
    EXPECT_EQ(page.rfind(".TH TAVRIX-SIM 1 ", 0), 0u);
    for (const char* section : {".SH NAME\n", ".SH SYNOPSIS\n", ".SH OPTIONS\n"})
        EXPECT_NE(page.find(section), std::string::npos) << section;
    // Help lines fit a terminal.
    for (size_t from = 0, end; from < usage.size(); from = end + 1) {
        end = usage.find('\n', from);
        EXPECT_LE(end - from, 92u) << usage.substr(from, end - from);
    }
}

}  // namespace
}  // namespace tvx::sim
