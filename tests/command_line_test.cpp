// SPDX-License-Identifier: MIT
// The programs' command lines: the parser every program shares, its help, and the rules each
// program's options add, below any window system.
#include "core/command_line.hpp"
#include "core/host_port.hpp"
#include "options/bridge_options.hpp"
#include "options/panel_options.hpp"
#include "options/send_options.hpp"
#include "options/sim_options.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>

using namespace tova;

namespace {

cli::Program sample(bool singleDashLong = false) {
    cli::Program p{"tool", "9.9", "A tool.", {}};
    p.options = {{"device", "path", "Where.", "default-path"}, {"fast", "", "Quickly."}, {"platform", "value", "", "", true}};
    p.arguments = "CODE...";
    p.argumentName = "code";
    p.argumentHelp = "Codes.";
    p.singleDashLong = singleDashLong;
    return p;
}

std::string error(const std::variant<cli::Arguments, cli::Outcome>& r) {
    auto* o = std::get_if<cli::Outcome>(&r);
    return o ? std::to_string(o->exitCode) + " " + o->message : "";
}

} // namespace

TEST(CommandLine, OptionsValuesAndMistakes) {
    struct Case {
        std::vector<std::string> args;
        bool singleDash;
        std::string outcome;  // exit status and message; empty: parsed
        std::string device;   // value("device") when parsed
        std::size_t codes;
    } cases[] = {
        {{"--device", "/dev/a", "C00"}, false, "", "/dev/a", 1},
        {{"--device=/dev/b", "C00", "CR0"}, false, "", "/dev/b", 2},
        {{"--device", "-x"}, false, "", "-x", 0},                     // a value may start with a dash
        {{"--device", "a", "--device", "b"}, false, "", "b", 0},       // the last one counts
        {{"C00"}, false, "", "default-path", 1},
        {{"--", "--device", "x"}, false, "", "default-path", 2},        // after --, arguments only
        {{"-"}, false, "", "default-path", 1},
        {{"--device"}, false, "64 tool: Missing value after '--device'. (see --help)\n", "", 0},
        {{"--fast=yes"}, false, "64 tool: Unexpected value after '--fast'. (see --help)\n", "", 0},
        {{"--bogus"}, false, "64 tool: Unknown option 'bogus'. (see --help)\n", "", 0},
        {{"-platform", "xcb"}, false, "64 tool: Unknown option 'platform'. (see --help)\n", "", 0},
        {{"-platform", "xcb"}, true, "", "default-path", 0},           // as Qt takes its own
        {{"-v"}, false, "0 tool 9.9\n", "", 0},
        {{"--version", "--bogus"}, false, "64 tool: Unknown option 'bogus'. (see --help)\n", "", 0},
    };
    for (const auto& c : cases) {
        const auto r = cli::parse(sample(c.singleDash), c.args);
        EXPECT_EQ(error(r), c.outcome) << c.args.front();
        if (auto* a = std::get_if<cli::Arguments>(&r)) {
            EXPECT_EQ(a->value("device"), c.device) << c.args.front();
            EXPECT_EQ(a->positional().size(), c.codes) << c.args.front();
        }
    }
    const auto a = std::get<cli::Arguments>(cli::parse(sample(), std::vector<std::string>{"--fast", "--device", "x"}));
    EXPECT_TRUE(a.isSet("fast"));
    EXPECT_EQ(a.values("device"), std::vector<std::string>{"x"});
    EXPECT_FALSE(a.isSet("platform"));
}

TEST(CommandLine, ArgumentsAreTheWordsAfterTheProgramsName) {
    char program[] = "tool", first[] = "--fast", second[] = "C00";
    char* argv[] = {program, first, second, nullptr};
    EXPECT_EQ(cli::argumentsOf(3, argv), (std::vector<std::string>{"--fast", "C00"}));
    EXPECT_EQ(cli::argumentsOf(1, argv), std::vector<std::string>{});
}

TEST(CommandLine, HelpFitsEightyColumnsAndHidesWhatItShould) {
    cli::Program p = sample();
    p.options.push_back({"spec", "spec",
                         "A long one: HOST:PORT[/ADDRESS][,name=TEXT][,inputs=LIST][,input-names=LIST][,serial=TEXT]"
                         "[,version=TEXT][,lamp-model=TEXT] and so on, with words enough to wrap twice over at "
                         "least."});
    const auto r = cli::parse(p, std::vector<std::string>{"--help"});
    const auto& help = std::get<cli::Outcome>(r);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.toStdout);
    EXPECT_EQ(help.message.rfind("Usage: tool [options] CODE...\nA tool.\n", 0), 0u) << help.message;
    std::istringstream lines(help.message);
    for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 79u) << line;
    for (const char* shown : {"--device <path>", "-h, --help", "-v, --version", "Arguments:", "[,input-names=LIST]"})
        EXPECT_NE(help.message.find(shown), std::string::npos) << shown;
    EXPECT_EQ(help.message.find("platform"), std::string::npos);
    // The longest names have two blanks before the help's column; the others line up with it.
    EXPECT_NE(help.message.find("\n  --device <path>  Where.\n  --fast           Quickly.\n"), std::string::npos) << help.message;

    // A path or a registry key longer than its column stays whole, to be copied.
    const std::string key = "HKEY_CURRENT_USER\\Software\\tova-control\\tova-control\\and-more-of-it";
    const std::string path = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1234567-if00-port0";
    cli::Program q = sample();
    q.options.push_back({"save", "", "Keep them under " + key + " and " + path + " for every later start."});
    const auto kept = std::get<cli::Outcome>(cli::parse(q, std::vector<std::string>{"--help"}));
    EXPECT_NE(kept.message.find(key), std::string::npos) << kept.message;
    EXPECT_NE(kept.message.find(path), std::string::npos) << kept.message;
}

TEST(CommandLine, AddressLiterals) {
    struct Case {
        const char* host;
        bool literal, loopback;
    } cases[] = {
        {"127.0.0.1", true, true},        {"0.0.0.0", true, false},        {"256.1.1.1", false, false},
        {"1.2.3", false, false},          {"1.2.3.4.5", false, false},     {"::1", true, true},
        {"::", true, false},              {"fe80::1%eth0", true, false},   {"2001:db8::1", true, false},
        {"::ffff:1.2.3.4", true, false},  {"1::2::3", false, false},       {"hall", false, false},
        {"1:2:3:4:5:6:7:8", true, false}, {"1:2:3:4:5:6:7:8:9", false, false}, {"12345::", false, false},
        {"", false, false},               {"127.255.0.9", true, true},     {"0:0:0:0:0:0:0:1", true, true},
        {"::0001", true, true},           {"::10", true, false},           {"1::1", true, false},
        {"127.example", false, false},    {"128.0.0.1", true, false},
        // A gap stands for one group at least: seven written beside it, not eight.
        {"1:2:3::5:6:7:8", true, false},  {"1:2:3:4::5:6:7:8", false, false}, {"1::2:3:4:5:6:7", true, false},
        {"::2:3:4:5:6:7:8", true, false}, {"1:2:3:4:5:6:7::", true, false},   {"1:2:3:4:5:6:7:8::", false, false},
        {"1::x", false, false},           {"x::1", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isAddressLiteral(c.host), c.literal) << c.host;
        EXPECT_EQ(isLoopbackAddress(c.host), c.loopback) << c.host;
    }
}

TEST(CommandLine, AddressGroupsForLimitsPerAddress) {
    const std::pair<const char*, const char*> cases[] = {
        {"2001:db8:1::1", "2001:db8:1:0::/64"},
        {"2001:0DB8:0001:0000:ffff:0:0:9", "2001:db8:1:0::/64"},
        {"2a00:1450:4001:82b::200e", "2a00:1450:4001:82b::/64"},
        {"3fff::1:2:3:4", "3fff:0:0:0::/64"},
        {"fe80::1%eth0", "fe80::1%eth0"}, // link-local, unique local, loopback: each address itself
        {"fd12:3456::1", "fd12:3456::1"},
        {"::1", "::1"},
        {"::ffff:192.0.2.1", "::ffff:192.0.2.1"},
        {"192.0.2.1", "192.0.2.1"},
        {"not an address", "not an address"},
    };
    for (const auto& [address, group] : cases) EXPECT_EQ(addressGroup(address), group) << address;
}

namespace {

struct Store : DeviceStore {
    std::optional<Kept> kept = Kept{};
    bool writable = true;
    std::vector<Kept> written;
    std::string where() const override { return "the store"; }
    std::optional<Kept> read() override { return kept; }
    bool write(const Kept& given) override {
        written.push_back(given);
        return writable;
    }
};

const PanelSystem kSystem{"/test/default-com1", "/test/default-com2", {}, "~/.config"};

} // namespace

TEST(PanelOptions, DevicesFromTheCommandLineTheStoreOrTheDefaults) {
    struct Case {
        std::vector<std::string> args;
        std::optional<DeviceStore::Kept> kept;
        bool writable;
        std::string com1, com2;
        int exit;            // -1: goes on
        const char* notice;  // a word of it; empty: none
        std::size_t writes;
    } cases[] = {
        {{}, DeviceStore::Kept{}, true, "/test/default-com1", "/test/default-com2", -1, "", 0},
        {{}, DeviceStore::Kept{"/dev/kept", {}}, true, "/dev/kept", "/test/default-com2", -1, "", 0},
        {{"--com1", "/dev/given"}, DeviceStore::Kept{"/dev/kept", "/dev/k2"}, true, "/dev/given", "/dev/k2", -1, "", 0},
        {{}, std::nullopt, true, "/test/default-com1", "/test/default-com2", -1, "cannot be read", 0},
        {{"--save", "--com2", "tcp://h:1"}, DeviceStore::Kept{"/dev/kept", {}}, true, "/dev/kept", "tcp://h:1", -1,
         "kept COM2 tcp://h:1 in the store", 1},
        {{"--save", "--com1", "/dev/x"}, std::nullopt, true, "", "", 1, "", 0}, // an unreadable store is never rewritten
        {{"--save", "--com1", "/dev/x"}, DeviceStore::Kept{}, false, "", "", 1, "", 1},
    };
    for (const auto& c : cases) {
        const PanelCommandLine parsed = parsePanelCommandLine(c.args, kSystem);
        ASSERT_TRUE(parsed.outcome.goOn()) << parsed.outcome.message;
        Store store;
        store.kept = c.kept;
        store.writable = c.writable;
        const Devices d = chooseDevices(parsed.options, store, kSystem);
        EXPECT_EQ(d.outcome.exitCode, c.exit) << d.outcome.message;
        if (c.exit < 0) {
            EXPECT_EQ(d.com1, c.com1);
            EXPECT_EQ(d.com2, c.com2);
        }
        if (*c.notice) EXPECT_NE(d.notice.find(c.notice), std::string::npos) << d.notice;
        else EXPECT_EQ(d.notice, "");
        EXPECT_EQ(store.written.size(), c.writes);
    }
}

// Every documented bound on both sides of its edge: the last value taken and the first refused.
TEST(ProgramOptions, EveryBoundOnBothSidesOfItsEdge) {
    using Args = std::vector<std::string>;
    const std::string d = "--device", pj = "--pjlink";
    struct Case {
        const char* program;
        Args args;
        bool ok;
    } cases[] = {
        {"sim", {"--projectors", "0"}, false},          {"sim", {"--projectors", "1"}, true},
        {"sim", {"--projectors", "4"}, true},           {"sim", {"--projectors", "5"}, false},
        {"sim", {"--warm-up", "0.1"}, true},            {"sim", {"--warm-up", "600"}, true},
        {"send", {d, "x", "--address", "000", "C00"}, false}, {"send", {d, "x", "--address", "001", "C00"}, true},
        {"send", {d, "x", "--address", "004", "C00"}, true},  {"send", {d, "x", "--address", "005", "C00"}, false},
        {"send", {d, "x", "--address", "all", "C00"}, true},  {"send", {d, "x", "--address", "ALL", "C00"}, true},
        {"send", {d, "x", "--address", "Single", "C00"}, true}, {"send", {d, "x", "--address", "alll", "C00"}, false},
        {"send", {d, "x", "--timeout", "1", "C00"}, true},    {"send", {d, "x", "--timeout", "0", "C00"}, false},
        {"send", {d, "x", "--until", "x", "--every", "0.5", "CR0"}, true},
        {"send", {d, "x", "--until", "x", "--every", "0.0004", "CR0"}, false}, // rounds to no time at all
        {"send", {d, "x", "--until", "x", "--every", "86400", "CR0"}, true},
        {"send", {d, "x", "--until", "x", "--every", "86400.5", "CR0"}, false},
        {"send", {d, "tcp://127.0.0.1:1", "C00"}, true},      {"send", {d, "tcp://127.0.0.1:65535", "C00"}, true},
        {"send", {d, "tcp://127.0.0.1:65536", "C00"}, false}, {"send", {d, "tcp://127.0.0.1:0", "C00"}, false},
        {"bridge", {"--poll", "0"}, true},              {"bridge", {"--poll", "3600"}, true},
        {"bridge", {"--poll", "3601"}, false},          {"bridge", {"--poll", "-1"}, false},
        {"bridge", {"--max-clients", "1"}, true},       {"bridge", {"--max-clients", "0"}, false},
        {"bridge", {"--max-clients", "4096"}, true},    {"bridge", {"--max-clients", "4097"}, false},
        {"bridge", {"--http", "127.0.0.1:8080", "--http-max-clients", "1"}, true},  {"bridge", {"--http", "127.0.0.1:8080", "--http-max-clients", "0"}, false},
        {"bridge", {"--http", "127.0.0.1:8080", "--http-max-clients", "4096"}, true}, {"bridge", {"--http", "127.0.0.1:8080", "--http-max-clients", "4097"}, false},
        {"bridge", {"--max-per-address", "0"}, true},   {"bridge", {"--max-per-address", "-1"}, false},
        {"bridge", {pj, "127.0.0.1:4352,max-clients=8,max-per-address=8"}, true},
        {"bridge", {pj, "127.0.0.1:4352,max-clients=8,max-per-address=9"}, false},
        {"bridge", {pj, "127.0.0.1:4352/001"}, true},   {"bridge", {pj, "127.0.0.1:4352/004"}, true},
        {"bridge", {pj, "127.0.0.1:4352/000"}, false},  {"bridge", {pj, "127.0.0.1:4352/005"}, false},
        {"bridge", {pj, "127.0.0.1:0"}, true},          {"bridge", {pj, "127.0.0.1:65535"}, true},
        {"bridge", {pj, "127.0.0.1:65536"}, false},
        {"bridge", {pj, "127.0.0.1:0", pj, "127.0.0.1:0"}, true}, // port 0: each its own
        {"bridge", {pj, "127.0.0.1:4352", pj, "127.0.0.1:4352"}, false},
        {"bridge", {pj, "127.0.0.1:1", pj, "127.0.0.1:1"}, false},
        {"bridge", {pj, "127.0.0.1:1", "--http", "127.0.0.1:1"}, false}, // the web listener's place too
        {"bridge", {pj, "127.0.0.1:0", "--http", "127.0.0.1:0"}, true},
        {"bridge", {"--name", std::string(64, 'n')}, true}, {"bridge", {"--name", std::string(65, 'n')}, false},
        {"bridge", {pj, "127.0.0.1:0,serial=" + std::string(32, 's')}, true},
        {"bridge", {pj, "127.0.0.1:0,serial=" + std::string(33, 's')}, false},
        {"bridge", {pj, "127.0.0.1:0,serial=a ~"}, true}, // the first and last printable characters
        {"bridge", {pj, std::string("127.0.0.1:0,serial=a\x7f")}, false},
        {"bridge", {pj, std::string("127.0.0.1:0,serial=a\x1f")}, false},
    };
    for (const auto& c : cases) {
        const std::string program = c.program;
        const cli::Outcome o = program == "send" ? parseSendCommandLine(c.args).outcome
                               : program == "sim" ? parseSimCommandLine(c.args).outcome
                                                  : parseBridgeCommandLine(c.args).outcome;
        // The bridge's settings as a whole, as it checks them before binding anything.
        std::optional<std::string> settingsError;
        if (program == "bridge" && o.goOn()) {
            Args all = c.args;
            if (c.args.front() != pj) all.insert(all.end(), {pj, "127.0.0.1:0"});
            auto b = parseBridgeCommandLine(all);
            b.settings.device = "/test/line";
            settingsError = bridge::problem(b.settings);
        }
        const bool ok = o.goOn() && !settingsError;
        EXPECT_EQ(ok, c.ok) << program << " " << c.args.back() << ": " << o.message << settingsError.value_or("");
    }
}

// What each query prints, in tova-send's help: one value with no comma after it.
TEST(ProgramOptions, TheSendHelpListsEachQuerysValues) {
    const std::string help = parseSendCommandLine({"--help"}).outcome.message;
    EXPECT_NE(help.find("\n  CR3: the lamp hours, a number (1234)\n"), std::string::npos) << help;
    EXPECT_EQ(help.find(",\n\n"), std::string::npos);
}

TEST(ProgramOptions, EachProgramsRules) {
    struct Case {
        const char* program;
        std::vector<std::string> args;
        const char* said; // a word of the usage error; empty: goes on
    } cases[] = {
        {"panel", {"--screenshot-height", "5000"}, "5350, 6645, 7200 or 9100"},
        {"panel", {"--save"}, "nothing to keep"},
        {"panel", {"--save", "--demo", "--com1", "x"}, "--demo"},
        {"panel", {"stray"}, "unexpected argument 'stray'"},
        {"panel", {"--screenshot-height", "9100", "--com2", "x"}, ""},
        {"send", {"C00"}, "--device is required"},
        {"send", {"--device", "d", "--speed", "4800", "C00"}, "--speed takes 19200 or 9600"},
        {"send", {"--device", "d"}, "give at least one CODE"},
        {"send", {"--device", "d", "--stdin", "C00"}, "not both"},
        {"send", {"--device", "d", "--every", "1", "C00"}, "go with --until"},
        {"send", {"--device", "d", "--until", "x", "--every", "0", "CR0"}, "--every takes seconds above 0"},
        {"send", {"--device", "d", "--address", "005", "C00"}, "--address takes"},
        {"send", {"--device", "d", "--timeout", "0", "C00"}, "--timeout takes"},
        {"send", {"--list"}, ""},
        {"sim", {"--projectors", "5"}, "--projectors takes 1 to 4"},
        {"sim", {"--listen", "hall:4001"}, "--listen takes HOST:PORT"},
        {"sim", {"--listen", "[::1]:0"}, ""},
        {"sim", {"--link", "/tmp/x", "--listen", "127.0.0.1:0"}, "--link needs a pseudo-terminal"},
        {"sim", {"--warm-up", "0.09"}, "--warm-up takes seconds from 0.1 to 600"},
        {"sim", {"--warm-up", "600.1"}, "--warm-up takes seconds from 0.1 to 600"},
        {"sim", {"--fast", "--warm-up", "0.1"}, ""},
        {"sim", {"--warm-up", "600"}, ""},
        {"sim", {"--fault", "lamp"}, ""},
        {"sim", {"--fault", "fan"}, "--fault takes temperature, lamp or power"},
        {"sim", {"--fault", ""}, "--fault takes temperature, lamp or power"},
        {"send", {"--device", "d", "CR0", "CR0\rC01"}, "code 2, \"CR0\\rC01\", holds a control character (CR at 4): a code is one line"},
        {"send", {"--device", "d", "CR0\n\n"}, "holds a control character (LF at 4)"},
        {"send", {"--device", "d", "CR0\r\r\n"}, "holds a control character (CR at 4)"},
        {"send", {"--device", "d", "CR0\r\n"}, ""}, // a CRLF script's last argument
        {"send", {"--device", "d", "C\x1b" "00"}, "holds a control character (\\x1B at 2)"},
        {"send", {"--device", "tcp://127.0.0.1", "CR0"}, "--device tcp://127.0.0.1: a device server is tcp://HOST:PORT"},
        {"send", {"--device", "tcp://127.0.0.1:99999", "CR0"}, "the port a number from 1 to 65535"},
        {"send", {"--device", "TCP://[::1]:0", "CR0"}, "the port a number from 1 to 65535"},
        {"send", {"--device", "tcp://[::1]:4001", "CR0"}, ""},
        {"panel", {"--com1", "tcp://hall:"}, "--com1 tcp://hall:: a device server is"},
        {"bridge", {"--device", "tcp://:4001"}, "--device tcp://:4001: a device server is"},
        {"bridge", {"--speed", "4800"}, "--speed takes 19200 or 9600"},
        {"bridge", {"--name", ""}, "--name takes 1 to 64 bytes of printable UTF-8"},
        {"bridge", {"--name", "Hall\r%1POWR=1"}, "--name takes 1 to 64 bytes of printable UTF-8"},
        {"bridge", {"--pjlink", "127.0.0.1:0,input-names=A,B,C,D,E\n"}, "input-names= takes five names of printable UTF-8"},
        {"bridge", {"--pjlink", "127.0.0.1:0,max-clients=2147483647"}, "max-clients= takes a number from 1 to 4096"},
        {"bridge", {"--max-clients", "4097"}, "--max-clients takes a number from 1 to 4096"},
        {"bridge", {"--poll", "-1"}, "--poll takes seconds from 0"},
        {"bridge", {"--http-name", "bad name"}, "--http-name takes host names"},
        {"bridge", {"--pjlink", "127.0.0.1:4352/009"}, "--pjlink 127.0.0.1:4352/009: the projector address"},
        {"bridge", {"--device", "d", "--verbose", "--metrics-open", "--notify", "a", "--notify", "b:1"}, ""},
        {"bridge", {"x"}, "unexpected argument 'x'"},
    };
    for (const auto& c : cases) {
        const std::string program = c.program;
        cli::Outcome o = program == "panel"  ? parsePanelCommandLine(c.args, kSystem).outcome
                         : program == "send" ? parseSendCommandLine(c.args).outcome
                         : program == "sim"  ? parseSimCommandLine(c.args).outcome
                                             : parseBridgeCommandLine(c.args).outcome;
        if (!*c.said) {
            EXPECT_TRUE(o.goOn()) << program << ": " << o.message;
            continue;
        }
        EXPECT_EQ(o.exitCode, cli::kUsageError) << program << " " << c.said;
        EXPECT_NE(o.message.find(c.said), std::string::npos) << o.message;
    }
    // The bridge's flags are the file's "true"; a repeated option adds up.
    const auto b = parseBridgeCommandLine({"--verbose", "--notify", "a", "--notify", "b:1", "--config", "f.conf"});
    EXPECT_EQ(b.settings.verbose, true);
    EXPECT_EQ(b.settings.notify, (std::vector<HostPort>{{"a", 4352}, {"b", 1}}));
    EXPECT_EQ(b.config, "f.conf");
    EXPECT_TRUE(parseSendCommandLine({"--list"}).options.list);
    // A warm-up given stands over --fast's, whichever comes first.
    EXPECT_EQ(parseSimCommandLine({"--warm-up", "12.5", "--fast"}).options.line.timings.countDown, std::chrono::milliseconds(12500));
}
