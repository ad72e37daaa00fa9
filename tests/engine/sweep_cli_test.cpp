#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>

#include "console_window.h"
#include "export/json_text.h"
#include "export/result_table.h"
#include "sim/sim_instrument.h"
#include "sim/sim_transport.h"
#include "sweep_options.h"
#include "sweep_run.h"
#include "worker_test_rig.h"

namespace korvel::sweep {
namespace {

using testing::FakeClock;

ParseResult Parse(std::vector<std::string> args) {
    return ParseSweepOptions(args);
}

TEST(SweepOptions, DefaultsAreTheDialogsStartValues) {
    const ParseResult r = Parse({});
    ASSERT_TRUE(r.options);
    const SweepOptions& o = *r.options;
    EXPECT_EQ(o.device.text, "");
    EXPECT_EQ(o.smithKHz, 14270u);
    EXPECT_EQ(o.cableM, 0.0);
    EXPECT_EQ(o.ranges[0].startMHz, 6.1f);
    EXPECT_EQ(o.ranges[2].stopMHz, 21.9f);
    EXPECT_TRUE(o.enabled[0] && o.enabled[1] && o.enabled[2]);
    EXPECT_EQ(o.passes, 1);
    EXPECT_EQ(o.format, OutputFormat::Csv);
    EXPECT_EQ(o.timeoutS, 10.0);
}

TEST(SweepOptions, EveryOptionInBothSpellings) {
    const ParseResult r =
        Parse({"--device", "tcp:localhost:7720", "--smith=50000", "--cable", " 1000 ", "--range1",
               "1:60", "--range2=60:1", "--range3", "13.5:14.25", "--disable", "1", "--disable=3",
               "--passes", "3", "--format", "json", "--timeout", "0.5"});
    ASSERT_TRUE(r.options) << r.error;
    const SweepOptions& o = *r.options;
    EXPECT_EQ(o.device.text, "tcp:localhost:7720");
    EXPECT_EQ(o.smithKHz, 50000u);
    EXPECT_EQ(o.cableM, 1000.0);
    EXPECT_EQ(o.ranges[0].startMHz, 1.0f);
    EXPECT_EQ(o.ranges[1].startMHz, 60.0f);  // a falling range is allowed, like the dialog
    EXPECT_EQ(o.ranges[2].stopMHz, 14.25f);
    EXPECT_FALSE(o.enabled[0]);
    EXPECT_TRUE(o.enabled[1]);
    EXPECT_FALSE(o.enabled[2]);
    EXPECT_EQ(o.passes, 3);
    EXPECT_EQ(o.format, OutputFormat::Json);
    EXPECT_EQ(o.timeoutS, 0.5);
    EXPECT_TRUE(Parse({"-h"}).options->help);
}

TEST(SweepOptions, BadValuesAreRefusedWithTheDialogsMessages) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--smith", "50001"}, "--smith: Enter an integer between 1000 and 50000."},
        {{"--smith", "-5"}, "--smith: Enter a positive integer."},
        {{"--smith", "99999999999"}, "--smith: Enter a positive integer."},
        {{"--smith", ""}, "--smith: Enter a positive integer."},
        {{"--cable", "1000.5"}, "--cable: Enter a number between 0 and 1000."},
        {{"--cable", "nan"}, "--cable: Enter a number."},
        {{"--cable", "1e999"}, "--cable: Enter a number."},
        {{"--range1", "abc:7"}, "--range1: Enter a number."},
        {{"--range2", "0.5:7"}, "--range2: Enter a number between 1 and 60."},
        {{"--range3", "7"}, "--range3: expected START:STOP in MHz"},
        {{"--range3", "1:2:3"}, "--range3: expected START:STOP in MHz"},
        {{"--disable", "4"}, "--disable: expected 1, 2 or 3"},
        {{"--passes", "0"}, "--passes: expected a whole number from 1 to 1000000"},
        {{"--format", "xml"}, "--format: expected csv, json or s1p"},
        {{"--timeout", "-1"}, "--timeout: expected seconds, more than 0 and at most 86400"},
        {{"--timeout", "inf"}, "--timeout: expected seconds, more than 0 and at most 86400"},
        {{"--device", "serial:COM3"},
         "--device: Unknown device \"serial:COM3\": use sim, sim:FILE, usb, "
         "usb:VVVV:PPPP[:SERIAL], unix:PATH, tcp:HOST:PORT or replay:FILE."},
    };
    for (const auto& [args, message] : cases) {
        const ParseResult r = ParseSweepOptions(args);
        EXPECT_FALSE(r.options) << message;
        EXPECT_EQ(r.error, message);
    }
}

// Refused, with a message that starts with the option's name.
void ExpectRefused(const std::string& option, const std::string& value) {
    const ParseResult r = ParseSweepOptions({option, value});
    EXPECT_FALSE(r.options) << option << " " << value.substr(0, 24);
    EXPECT_EQ(r.error.rfind(option + ": ", 0), 0u) << r.error.substr(0, 80);
}

TEST(SweepOptions, MistypedValuesAreRefusedNamingTheOption) {
    std::vector<std::string> numbers = {"",
                                        "   ",
                                        "-5",
                                        "abc",
                                        "7x",
                                        "1e308",
                                        "-1e308",
                                        "nan",
                                        "inf",
                                        "0x1G",
                                        "１２３",
                                        "14Ω",
                                        std::string(10000, '9')};
    for (const std::string& v : numbers) {
        for (const char* option :
             {"--smith", "--cable", "--passes", "--timeout", "--range1", "--disable"}) {
            ExpectRefused(option, v);
        }
    }
    for (const char* v : {"999", "50001", "+5", "0x10", "4294967296"})
        ExpectRefused("--smith", v);
    for (const char* v : {"1000.5", "1e-400x"})
        ExpectRefused("--cable", v);
    for (const char* v : {"0", "0.5", "1e9"})
        ExpectRefused("--passes", v);
    for (const char* v : {"5", "5:", ":5", "0:5", "5:61", "nan:5", "5:inf", "1e308:5", "5:7x",
                          "５:７", "5:6:7", "5;7"})
        ExpectRefused("--range2", v);
    for (const char* v : {"0", "4", "1.5"})
        ExpectRefused("--disable", v);
    for (const char* v : {"xml", "CSV", ""})
        ExpectRefused("--format", v);
    for (const char* v : {"usb:", "unix:", "tcp:localhost:99999", "tcp:host"})
        ExpectRefused("--device", v);
}

TEST(SweepOptions, UnknownOrIncompleteArgumentsAreNamed) {
    const std::string longText(10000, 'x');
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--frobnicate"},
                                               {"--smith"},
                                               {"--passes"},
                                               {longText},
                                               {"１２３"},
                                               {"-5"},
                                               {"--help", "--frobnicate"},
                                               {"--smith", "0", "--help"}}) {
        const ParseResult r = ParseSweepOptions(args);
        EXPECT_FALSE(r.options) << args[0].substr(0, 24);
        EXPECT_NE(r.error.find(args[0] == "--help" ? args[1] : args[0]), std::string::npos)
            << r.error.substr(0, 80);
    }
}

TEST(SweepOptions, RepeatedOptionsAreReadInOrder) {
    const ParseResult r = Parse({"--smith", "2000", "--smith=3000", "--disable", "2", "--disable",
                                 "1", "--device=", "--format", "json", "--format", "csv"});
    ASSERT_TRUE(r.options) << r.error;
    EXPECT_EQ(r.options->smithKHz, 3000u);
    EXPECT_FALSE(r.options->enabled[0]);
    EXPECT_FALSE(r.options->enabled[1]);
    EXPECT_TRUE(r.options->enabled[2]);
    EXPECT_EQ(r.options->device.text, "");  // "--device=": the platform's own layer
    EXPECT_EQ(r.options->format, OutputFormat::Csv);
    // The first bad use is the one reported, even when a later one is good.
    EXPECT_EQ(Parse({"--smith", "1", "--smith", "2000"}).error,
              "--smith: Enter an integer between 1000 and 50000.");
}

TEST(SweepOptions, HelpListsEveryOptionWithItsDefault) {
    const std::string usage = SweepUsage();
    for (const char* text :
         {"--device", "--smith KHZ", "default 14270", "--cable", "--range1", "6.1:7.9", "--range3",
          "20.1:21.9", "--disable", "--passes", "--format csv|json", "--output FILE", "--summary",
          "--timeout", "--help", "64 invalid arguments", "74 results not written"}) {
        EXPECT_NE(usage.find(text), std::string::npos) << text;
    }
}

ResultTable SampleTable() {
    MeasurementState state;
    SweepSettings settings;
    for (std::size_t i = 0; i < kSweepPoints; ++i)
        state.vswr2Points[i] = 1.0 + i / 7.0;
    state.vswr3Points[3] = 1.5;
    state.s21Points[3] = -0.1;
    state.smithGammaMag = 0.5;
    settings.m_cableLengthM = 5.0;
    return SnapshotResults(state, settings, ResultHeader{});
}

TEST(SweepResults, FrequenciesAndCablePortFollowTheSettings) {
    const ResultTable t = SampleTable();
    ASSERT_EQ(t.ranges.size(), 3u);
    EXPECT_EQ(t.ranges[0].range, 1);
    EXPECT_EQ(t.ranges[0].freqMHz[0], static_cast<double>(6.1f));
    EXPECT_NEAR(t.ranges[0].freqMHz[199], 7.891, 1e-6);
    EXPECT_EQ(t.ranges[2].s21Db.size(), t.ranges[2].freqMHz.size());  // S21 shares range 3
    EXPECT_EQ(t.ranges[1].vswr[7], 2.0);
    // 0.5 at angle 0 through 5 m at 14270 kHz: "25-32j" on the panel.
    EXPECT_NEAR(t.header.cableR, 25.0, 0.5);
    EXPECT_NEAR(t.header.cableX, -32.0, 0.5);
}

TEST(SweepResults, CsvRoundTripsEveryDouble) {
    const ResultTable t = SampleTable();
    std::ostringstream out;
    WriteResultCsv(out, t);
    std::istringstream in(out.str());
    std::string line;
    int comments = 0;
    while (std::getline(in, line) && line[0] == '#')
        ++comments;
    EXPECT_EQ(comments, 3 + 3 + 1 + 9 + 1);  // names, ranges, cable, Smith point, power
    EXPECT_EQ(line,
              "range,freq_mhz,vswr,return_loss_db,gamma_mag,mismatch_loss_db,s21_db,r_ohm,x_ohm,"
              "z_mag_ohm,gamma_re,gamma_im");
    int rows = 0;
    while (std::getline(in, line)) {
        const RangeResult& r = t.ranges[rows / 200];
        const int i = rows % 200;
        std::istringstream fields(line);
        std::string range, freq, vswr;
        std::getline(fields, range, ',');
        std::getline(fields, freq, ',');
        std::getline(fields, vswr, ',');
        ASSERT_EQ(std::stoi(range), r.range);
        ASSERT_EQ(std::strtod(freq.c_str(), nullptr), r.freqMHz[i]) << line;
        if (r.vswr[i] == 0.0) {
            ASSERT_EQ(vswr, "") << line;
        } else {
            ASSERT_EQ(std::strtod(vswr.c_str(), nullptr), r.vswr[i]) << line;
        }
        ++rows;
    }
    EXPECT_EQ(rows, 600);
}

TEST(SweepResults, JsonStaysValidForNonFiniteNumbers) {
    ResultTable t = SampleTable();
    t.header.rfPowerDbm = std::numeric_limits<double>::quiet_NaN();
    t.header.cableR = std::numeric_limits<double>::infinity();
    t.ranges[0].vswr[5] = -std::numeric_limits<double>::infinity();
    t.ranges[2].s21Db[3] = std::numeric_limits<double>::quiet_NaN();
    std::ostringstream out;
    WriteResultJson(out, t);
    const std::string json = out.str();
    EXPECT_EQ(json.rfind("{\"header\":{\"program\":\"KORVEL\",", 0), 0u);
    EXPECT_NE(json.find("\"smith\":{\"freq_khz\":14270,\"gamma_mag\":0.5,"), std::string::npos);
    EXPECT_NE(json.find("\"cable_r\":null"), std::string::npos);
    EXPECT_NE(json.find("\"rf_power_dbm\":null"), std::string::npos);
    EXPECT_NE(json.find("\"vswr\":null"), std::string::npos);
    EXPECT_NE(json.find("\"vswr\":1.5,\"return_loss_db\":13.979400086720"), std::string::npos);
    EXPECT_NE(json.find("\"s21_db\":null"), std::string::npos);
    EXPECT_EQ(json.find("nan"), std::string::npos);
    EXPECT_EQ(json.find("inf"), std::string::npos);
    EXPECT_EQ(json.substr(json.size() - 63),
              "}],\"unsettled_points\":0}],\"format\":\"korvel-sweep\",\"version\":2}\n");
}

TEST(SweepResults, JsonReadsBackAsTheTable) {
    const ResultTable t = SampleTable();
    std::ostringstream out;
    WriteResultJson(out, t);
    const auto doc = nlohmann::ordered_json::parse(out.str());  // throws if not JSON

    std::vector<std::string> keys;
    for (const auto& [key, value] : doc["header"].items())
        keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"program", "version", "device", "cable_m", "smith",
                                              "rf_power_dbm"}));
    keys.clear();
    for (const auto& [key, value] : doc["header"]["smith"].items())
        keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"freq_khz", "gamma_mag", "gamma_angle", "r", "x",
                                              "z_mag", "vswr", "cable_r", "cable_x"}));
    EXPECT_TRUE(doc["header"]["smith"]["freq_khz"].is_number_unsigned());
    EXPECT_EQ(doc["header"]["smith"]["cable_x"].get<double>(), t.header.cableX);  // every digit
    EXPECT_EQ(doc["header"]["rf_power_dbm"].get<double>(), t.header.rfPowerDbm);

    const auto& ranges = doc["ranges"];
    ASSERT_EQ(ranges.size(), 3u);
    for (std::size_t c = 0; c < 3; ++c) {
        SCOPED_TRACE(c);
        const RangeResult& r = t.ranges[c];
        ASSERT_EQ(ranges[c]["range"], r.range);
        ASSERT_EQ(ranges[c]["points"].size(), kSweepPoints);
        for (std::size_t i = 0; i < kSweepPoints; ++i) {
            const auto& p = ranges[c]["points"][i];
            ASSERT_EQ(p["freq_mhz"].get<double>(), r.freqMHz[i]);
            if (r.vswr[i] == 0.0) {
                ASSERT_TRUE(p["vswr"].is_null());
            } else {
                ASSERT_EQ(p["vswr"].get<double>(), r.vswr[i]);
            }
        }
    }
    EXPECT_EQ(ranges[2]["points"][3]["s21_db"].get<double>(), t.ranges[2].s21Db[3]);
}

TEST(SweepResults, JsonNumbersKeepTheirSeventeenDigits) {
    ResultTable t = SampleTable();
    t.ranges[0].vswr[0] = 2.0;
    std::ostringstream out;
    WriteResultJson(out, t);
    // 6.1f as a double, and a whole number without ".0", as before.
    EXPECT_NE(out.str().find("\"freq_mhz\":6.0999999046325684,\"vswr\":2,"), std::string::npos);
}

TEST(SweepRun, PassesOnTheSimulatorThenPrints) {
    auto sim = std::make_shared<SimInstrument>(3);
    SimTransport transport(sim);
    FakeClock clock;
    SweepOptions o;
    o.passes = 2;
    o.format = OutputFormat::Json;
    std::ostringstream out, err;
    EXPECT_EQ(RunSweep(o, transport, clock, out, err), kExitOk);
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(out.str().rfind("{\"header\":{\"program\":\"KORVEL\",", 0), 0u);
    EXPECT_NE(out.str().find("\"smith\":{\"freq_khz\":14270,"), std::string::npos);
    // Two passes with the Smith point: 2 * 8.75 s plus the 500 ms before opening.
    EXPECT_EQ(clock.Now(), Milliseconds(500 + 2 * 8750));
}

TEST(SweepRun, AnOutputThatCannotBeWrittenIsNoSuccess) {
    testing::ScriptedInstrument instrument;
    FakeClock clock;
    SweepOptions o;
    std::ostringstream out, err;
    out.setstate(std::ios::badbit);
    EXPECT_EQ(RunSweep(o, instrument, clock, out, err), kExitOutputFailed);
    EXPECT_EQ(err.str(), "korvel-sweep: the results could not be written\n");
}

TEST(SweepRun, NoInstrumentGivesUpAfterTheTimeout) {
    testing::ScriptedInstrument none;
    none.devices = 0;
    FakeClock clock;
    SweepOptions o;
    std::ostringstream out, err;
    EXPECT_EQ(RunSweep(o, none, clock, out, err), kExitNoInstrument);
    EXPECT_EQ(err.str(), "korvel-sweep: no instrument found within 10 s\n");
    EXPECT_EQ(out.str(), "");
    EXPECT_GT(clock.Now(), Milliseconds(10000));
}

TEST(SweepRun, LinkErrorsGoToTheErrorStreamAndTheRunGoesOn) {
    testing::ScriptedInstrument instrument;
    for (int n = 0; n < 767; ++n)
        instrument.memory[n] = {2950, 2950, 2950, 2446};
    instrument.memory[767] = {1475, 2950, 2950, 0};
    instrument.live = [](uint32_t) { return testing::LiveWords{2950, 2950, 2950, 2446}; };
    instrument.failCommand = 10;
    FakeClock clock;
    SweepOptions o;
    o.passes = 2;
    std::ostringstream out, err;
    EXPECT_EQ(RunSweep(o, instrument, clock, out, err), kExitOk);
    EXPECT_EQ(err.str(), "korvel-sweep: USB Link Error！\n");
    // The last point of range 3 was measured.
    const std::string last = "\n3," + FormatNumber(SweepPointFreqMHz(20.1f, 21.9f, 199)) + ",";
    const auto at = out.str().find(last);
    ASSERT_NE(at, std::string::npos);
    EXPECT_NE(out.str()[at + last.size()], ',');
}

}  // namespace
}  // namespace korvel::sweep
