#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "export/result_table.h"

namespace korvel {
namespace {

// Reference figures worked out here, not by the code under test.
struct Expected {
    double gamma, rl, ml;
};
Expected FromVswr(double s) {
    const double g = (s - 1) / (s + 1);
    return {g, -20 * std::log10(g), -10 * std::log10(1 - g * g)};
}

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, ','))
        fields.push_back(field);
    if (!line.empty() && line.back() == ',')
        fields.push_back("");
    return fields;
}

double Number(const std::string& text) {
    return std::strtod(text.c_str(), nullptr);
}

// Range 1 measured on its first 150 points, range 2 disabled, range 3 with
// a perfect match at point 0, never measured from point 100 on, and S21.
struct Sample {
    MeasurementState state;
    DialogSettings settings;
    Sample() {
        for (std::size_t i = 0; i < 150; ++i)
            state.vswr1Points[i] = 1.05 + i * 0.04;
        for (std::size_t i = 0; i < 100; ++i) {
            state.vswr3Points[i] = i == 0 ? 1.0 : 2.5 - i * 0.01;
            state.s21Points[i] = -0.25 * static_cast<double>(i % 9);  // 0 dB at 0, 9, 18...
        }
        settings.m_enableVswr2 = 0;
        settings.m_cableLengthM = 5.0;
        state.smithGammaMag = 0.5;
        state.rfPowerDbm = -3.5;
    }
    ResultTable Table(bool summary = false) const {
        ResultHeader header;
        header.version = "1.2.3.4";
        header.device = "unix:/tmp/odd\nname";
        ResultTable t = SnapshotResults(state, settings, header);
        t.summary = summary;
        return t;
    }
};

TEST(ResultTable, SnapshotTakesEnabledRangesWithTheirFrequenciesAndTheSmithPoint) {
    Sample s;
    std::array<std::optional<std::vector<double>>, 4> held;
    held[2] = std::vector<double>(kSweepPoints, 1.5);
    held[3] = std::vector<double>(kSweepPoints, -1.0);
    const ResultTable t = SnapshotResults(s.state, s.settings, ResultHeader{}, held);
    ASSERT_EQ(t.ranges.size(), 2u);
    EXPECT_EQ(t.ranges[0].range, 1);
    EXPECT_EQ(t.ranges[1].range, 3);
    const RangeResult& r3 = t.ranges[1];
    EXPECT_EQ(r3.startMHz, static_cast<double>(20.1f));
    ASSERT_EQ(r3.freqMHz.size(), kSweepPoints);
    const double start = 20.1f, stop = 21.9f;
    EXPECT_EQ(r3.freqMHz[0], start);
    EXPECT_NEAR(r3.freqMHz[199], start + (stop - start) * 199 / 200, 1e-12);
    EXPECT_EQ(r3.vswr[50], 2.0);
    EXPECT_EQ(r3.s21Db[1], -0.25);
    EXPECT_TRUE(t.ranges[0].s21Db.empty());
    EXPECT_FALSE(t.ranges[0].heldVswr);
    ASSERT_TRUE(r3.heldVswr && r3.heldS21Db);
    EXPECT_EQ((*r3.heldS21Db)[0], -1.0);
    // The header keeps the caller's names and takes the measurement's figures.
    EXPECT_EQ(t.header.program, "KORVEL");
    EXPECT_EQ(t.header.cableM, 5.0);
    EXPECT_EQ(t.header.smithKHz, 14270u);
    EXPECT_EQ(t.header.rfPowerDbm, -3.5);
    // 0.5 at angle 0 through 5 m at 14270 kHz: "25-32j" on the panel.
    EXPECT_NEAR(t.header.cableR, 25.0, 0.5);
    EXPECT_NEAR(t.header.cableX, -32.0, 0.5);
}

TEST(ResultTable, CsvColumnsFollowFromTheVswr) {
    const Sample s;
    const ResultTable t = s.Table();
    std::ostringstream out;
    WriteResultCsv(out, t);
    std::istringstream in(out.str());
    std::string line;
    std::vector<std::string> comments;
    while (std::getline(in, line) && line.rfind("#", 0) == 0)
        comments.push_back(line);
    EXPECT_EQ(comments.front(), "# program=KORVEL");
    EXPECT_EQ(comments[1], "# version=1.2.3.4");
    EXPECT_EQ(comments[2], "# device=unix:/tmp/odd name");  // one line, whatever the name
    EXPECT_EQ(comments[3], "# range1_mhz=6.0999999046325684:7.9000000953674316");
    EXPECT_EQ(comments[4].rfind("# range3_mhz=", 0), 0u);
    EXPECT_EQ(line, "range,freq_mhz,vswr,return_loss_db,gamma_mag,mismatch_loss_db,s21_db");

    int rows = 0;
    while (std::getline(in, line)) {
        const std::vector<std::string> f = Split(line);
        ASSERT_EQ(f.size(), 7u) << line;
        const int range = std::stoi(f[0]);
        const std::size_t i = rows % kSweepPoints;
        const RangeResult& r = t.ranges[rows / kSweepPoints];
        ASSERT_EQ(range, r.range);
        ASSERT_EQ(Number(f[1]), r.freqMHz[i]) << line;
        const double v = r.vswr[i];
        if (v == 0.0) {  // never measured: nothing, not 0
            EXPECT_EQ(f[2] + f[3] + f[4] + f[5], "") << line;
        } else if (v == 1.0) {  // a perfect match has no finite return loss
            EXPECT_EQ(f[3], "") << line;
            EXPECT_EQ(Number(f[4]), 0.0);
            EXPECT_EQ(Number(f[5]), 0.0);
        } else {
            const Expected e = FromVswr(v);
            ASSERT_EQ(Number(f[2]), v) << line;
            ASSERT_NEAR(Number(f[3]), e.rl, 1e-9) << line;
            ASSERT_NEAR(Number(f[4]), e.gamma, 1e-12) << line;
            ASSERT_NEAR(Number(f[5]), e.ml, 1e-9) << line;
        }
        if (range == 1) {
            EXPECT_EQ(f[6], "");
        } else if (i < 100) {
            ASSERT_EQ(Number(f[6]), r.s21Db[i]) << line;  // 0 dB included: it was measured
            ASSERT_NE(f[6], "") << line;
        } else {
            EXPECT_EQ(f[6], "") << line;  // the state's initial 0 beside a point never measured
        }
        ++rows;
    }
    EXPECT_EQ(rows, 400);
}

TEST(ResultTable, CsvHeldColumnsAndSummary) {
    Sample s;
    std::array<std::optional<std::vector<double>>, 4> held;
    held[0] = std::vector<double>(kSweepPoints, 0.0);
    (*held[0])[3] = 3.25;
    s.settings.m_enableVswr3 = 0;
    // A dip to 1.1 at point 5 between points above 2.
    for (std::size_t i = 0; i < kSweepPoints; ++i)
        s.state.vswr1Points[i] = i == 5 ? 1.1 : 3.0;
    ResultTable t = SnapshotResults(s.state, s.settings, ResultHeader{}, held);
    t.summary = true;
    std::ostringstream out;
    WriteResultCsv(out, t);
    const std::string csv = out.str();
    EXPECT_EQ(csv.find("# time="), std::string::npos);  // none given, none written
    const std::string freq5 = "6.145";                  // 6.1 + 1.8 * 5 / 200
    EXPECT_NE(csv.find("# summary range 1: min_vswr 1.100 at " + freq5 + " MHz, 2:1  "),
              std::string::npos)
        << csv.substr(0, 800);
    EXPECT_NE(csv.find(",mismatch_loss_db,s21_db,held_vswr,held_s21_db\n"), std::string::npos);
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(csv.substr(csv.find("\nrange,") + 1));
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line))
        rows.push_back(Split(line));
    ASSERT_EQ(rows.size(), kSweepPoints);
    for (const auto& row : rows)
        ASSERT_EQ(row.size(), 9u);
    // Point 3 with its held VSWR and no S21 (range 1); point 4's held value was never measured.
    EXPECT_EQ(rows[3][2], "3");
    EXPECT_EQ(rows[3][7], "3.25");
    EXPECT_EQ(rows[3][8], "");
    EXPECT_EQ(rows[4][7], "");
}

TEST(ResultTable, JsonPointsSummaryAndNulls) {
    Sample s;
    std::array<std::optional<std::vector<double>>, 4> held;
    held[2] = std::vector<double>(kSweepPoints, 0.0);
    (*held[2])[7] = 1.25;
    ResultHeader header;
    header.time = "2026-01-02T03:04:05Z";
    header.device = "sim\xff";  // not UTF-8: replaced, never thrown
    ResultTable t = SnapshotResults(s.state, s.settings, header, held);
    t.summary = true;
    std::ostringstream out;
    WriteResultJson(out, t);
    const auto doc = nlohmann::ordered_json::parse(out.str());

    std::vector<std::string> keys;
    for (const auto& [key, value] : doc.items())
        keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"header", "ranges"}));
    const auto& h = doc["header"];
    EXPECT_EQ(h["program"], "KORVEL");
    EXPECT_EQ(h["time"], "2026-01-02T03:04:05Z");
    EXPECT_EQ(h["smith"]["freq_khz"].get<uint32_t>(), 14270u);
    EXPECT_EQ(h["smith"]["cable_x"].get<double>(), t.header.cableX);  // every digit kept
    EXPECT_EQ(h["rf_power_dbm"].get<double>(), -3.5);

    const auto& ranges = doc["ranges"];
    ASSERT_EQ(ranges.size(), 2u);
    const auto& r1 = ranges[0];
    EXPECT_EQ(r1["range"], 1);
    ASSERT_EQ(r1["points"].size(), kSweepPoints);
    const auto& p10 = r1["points"][10];
    keys.clear();
    for (const auto& [key, value] : p10.items())
        keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"range", "freq_mhz", "vswr", "return_loss_db",
                                              "gamma_mag", "mismatch_loss_db"}));
    const Expected e = FromVswr(1.45);
    EXPECT_NEAR(p10["vswr"].get<double>(), 1.45, 1e-12);
    EXPECT_NEAR(p10["return_loss_db"].get<double>(), e.rl, 1e-9);
    EXPECT_NEAR(p10["gamma_mag"].get<double>(), e.gamma, 1e-12);
    EXPECT_NEAR(p10["mismatch_loss_db"].get<double>(), e.ml, 1e-9);
    for (const char* key : {"vswr", "return_loss_db", "gamma_mag", "mismatch_loss_db"})
        EXPECT_TRUE(r1["points"][150][key].is_null()) << key;

    const auto& r3 = ranges[1];
    EXPECT_TRUE(r3["points"][0]["return_loss_db"].is_null());  // VSWR 1
    EXPECT_EQ(r3["points"][0]["s21_db"].get<double>(), 0.0);   // measured 0 dB
    EXPECT_TRUE(r3["points"][150]["s21_db"].is_null());
    EXPECT_EQ(r3["points"][7]["held_vswr"].get<double>(), 1.25);
    EXPECT_TRUE(r3["points"][8]["held_vswr"].is_null());
    EXPECT_FALSE(r3["points"][8].contains("held_s21_db"));  // none held
    EXPECT_FALSE(r1["points"][8].contains("held_vswr"));

    // Range 3's minimum is its first point (1.0); the next one is 2.49: the
    // band ends between them, and its low edge is not inside the range.
    const auto& sum3 = r3["summary"];
    EXPECT_EQ(sum3["min_vswr"].get<double>(), 1.0);
    const double f0 = 20.1f, step = (static_cast<double>(21.9f) - f0) / 200;
    EXPECT_EQ(sum3["min_freq_mhz"].get<double>(), f0);
    EXPECT_TRUE(sum3["bw2_low_mhz"].is_null());
    EXPECT_NEAR(sum3["bw2_high_mhz"].get<double>(), f0 + step * (1.0 - 0.49 / 1.49), 1e-9);
    const auto& sum1 = r1["summary"];
    EXPECT_EQ(sum1["min_vswr"].get<double>(), 1.05);
    EXPECT_TRUE(sum1["bw2_low_mhz"].is_null());
    // 1.05 + 0.04 i crosses 2 at i = 23.75.
    const double start = 6.1f, stop = 7.9f;
    EXPECT_NEAR(sum1["bw2_high_mhz"].get<double>(), start + (stop - start) * 23.75 / 200, 1e-9);
}

TEST(ResultTable, NothingEnabledIsAnEmptyTableNotAFailure) {
    Sample s;
    s.settings.m_enableVswr1 = 0;
    s.settings.m_enableVswr3 = 2;  // only exactly 1 sweeps
    ResultTable t = s.Table(true);
    EXPECT_TRUE(t.ranges.empty());
    std::ostringstream csv, json;
    WriteResultCsv(csv, t);
    WriteResultJson(json, t);
    EXPECT_EQ(csv.str().substr(csv.str().rfind("range,")),
              "range,freq_mhz,vswr,return_loss_db,gamma_mag,mismatch_loss_db,s21_db\n");
    EXPECT_EQ(nlohmann::json::parse(json.str())["ranges"].size(), 0u);
}

}  // namespace
}  // namespace korvel
