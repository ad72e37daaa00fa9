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

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> fields(1);
    for (char c : line) {
        if (c == ',')
            fields.emplace_back();
        else
            fields.back().push_back(c);
    }
    return fields;
}

double Number(const std::string& text) {
    return std::strtod(text.c_str(), nullptr);
}

// Range 1 measured on its first 150 points and held, range 2 disabled, range
// 3 a perfect match at point 0 and never measured from point 100 on, with S21.
ResultTable Sample(ResultHeader header = {}) {
    MeasurementState state;
    SweepSettings settings;
    for (std::size_t i = 0; i < 150; ++i)
        state.vswr1Points[i] = 1.05 + i * 0.04;
    for (std::size_t i = 0; i < 100; ++i) {
        state.vswr3Points[i] = i == 0 ? 1.0 : 2.5 - i * 0.01;
        state.s21Points[i] = -0.25 * static_cast<double>(i % 9);  // a measured 0 dB now and then
    }
    settings.m_enableVswr2 = 0;
    std::array<std::optional<std::vector<double>>, 4> held;
    held[0] = std::vector<double>(kSweepPoints, 0.0);
    (*held[0])[3] = 3.25;
    return SnapshotResults(state, settings, header, held);
}

TEST(ResultTable, CsvColumnsFollowFromTheVswr) {
    ResultHeader header;
    header.device = "unix:/tmp/odd\nname";
    const ResultTable t = Sample(header);
    std::ostringstream out;
    WriteResultCsv(out, t);
    std::istringstream in(out.str());
    std::string line, comments;
    while (std::getline(in, line) && line[0] == '#')
        comments += line + "\n";
    EXPECT_EQ(comments.rfind("# program=KORVEL\n# version=1.0.0.1\n# device=unix:/tmp/odd name\n"
                             "# range1_mhz=6.0999999046325684:7.9000000953674316\n# range3_mhz=",
                             0),
              0u)
        << comments;
    EXPECT_EQ(line,
              "range,freq_mhz,vswr,return_loss_db,gamma_mag,mismatch_loss_db,s21_db,"
              "held_vswr,held_s21_db,r_ohm,x_ohm,z_mag_ohm,gamma_re,gamma_im");
    std::size_t rows = 0;
    for (; std::getline(in, line); ++rows) {
        const std::vector<std::string> f = Split(line);
        ASSERT_EQ(f.size(), 14u) << line;
        const RangeResult& r = t.ranges.at(rows / kSweepPoints);
        const std::size_t i = rows % kSweepPoints;
        ASSERT_EQ(f[0], std::to_string(r.range));
        ASSERT_EQ(Number(f[1]), r.freqMHz[i]) << line;
        const double s = r.vswr[i], g = (s - 1) / (s + 1);
        if (s == 0.0) {  // never measured: nothing, not 0
            ASSERT_EQ(f[2] + f[3] + f[4] + f[5], "") << line;
        } else {
            ASSERT_EQ(Number(f[2]), s) << line;
            if (s == 1.0) {  // a perfect match has no finite return loss
                ASSERT_EQ(f[3], "") << line;
            } else {
                ASSERT_NEAR(Number(f[3]), -20 * std::log10(g), 1e-9) << line;
            }
            ASSERT_NEAR(Number(f[4]), g, 1e-12) << line;
            ASSERT_NEAR(Number(f[5]), -10 * std::log10(1 - g * g), 1e-9) << line;
        }
        // S21 on range 3 only; its 0 dB counts when the point was measured.
        ASSERT_EQ(f[6] == "", r.range == 1 || i >= 100) << line;
        if (f[6] != "") {
            ASSERT_EQ(Number(f[6]), r.s21Db[i]) << line;
        }
        ASSERT_EQ(f[7], r.range == 1 && i == 3 ? "3.25" : "") << line;
        ASSERT_EQ(f[8], "") << line;
        ASSERT_EQ(f[9] + f[10] + f[11] + f[12] + f[13], "") << line;  // no detector readings
    }
    EXPECT_EQ(rows, 2 * kSweepPoints);
}

TEST(ResultTable, JsonPointsNullsAndSummary) {
    ResultHeader header;
    header.time = "2026-01-02T03:04:05Z";
    header.device = "sim\xff";  // not UTF-8: replaced, never thrown
    ResultTable t = Sample(header);
    t.summary = true;
    std::ostringstream out;
    WriteResultJson(out, t);
    const auto doc = nlohmann::ordered_json::parse(out.str());
    EXPECT_EQ(doc["header"]["time"], "2026-01-02T03:04:05Z");
    ASSERT_EQ(doc["ranges"].size(), 2u);
    const auto& r1 = doc["ranges"][0];
    const auto& r3 = doc["ranges"][1];
    std::vector<std::string> keys;
    for (const auto& [key, value] : r1["points"][10].items())
        keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"range", "freq_mhz", "vswr", "return_loss_db",
                                              "gamma_mag", "mismatch_loss_db", "held_vswr", "r_ohm",
                                              "x_ohm", "z_mag_ohm", "gamma_re", "gamma_im"}));
    const double g = 0.45 / 2.45;  // VSWR 1.45
    EXPECT_NEAR(r1["points"][10]["return_loss_db"].get<double>(), -20 * std::log10(g), 1e-9);
    EXPECT_NEAR(r1["points"][10]["mismatch_loss_db"].get<double>(), -10 * std::log10(1 - g * g),
                1e-9);
    for (const char* key : {"vswr", "return_loss_db", "gamma_mag", "mismatch_loss_db"})
        EXPECT_TRUE(r1["points"][150][key].is_null()) << key;
    EXPECT_EQ(r1["points"][3]["held_vswr"].get<double>(), 3.25);
    EXPECT_TRUE(r1["points"][4]["held_vswr"].is_null());
    EXPECT_TRUE(r3["points"][0]["return_loss_db"].is_null());  // VSWR 1
    EXPECT_EQ(r3["points"][0]["s21_db"].get<double>(), 0.0);   // a measured 0 dB
    EXPECT_TRUE(r3["points"][150]["s21_db"].is_null());
    EXPECT_FALSE(r3["points"][0].contains("held_vswr"));

    // 1.05 + 0.04 i crosses 2 at i = 23.75; the minimum is the first point.
    const auto& sum1 = r1["summary"];
    const double start = 6.1f, stop = 7.9f;
    EXPECT_EQ(sum1["min_vswr"].get<double>(), 1.05);
    EXPECT_EQ(sum1["min_freq_mhz"].get<double>(), start);
    EXPECT_TRUE(sum1["bw2_low_mhz"].is_null());
    EXPECT_NEAR(sum1["bw2_high_mhz"].get<double>(), start + (stop - start) * 23.75 / 200, 1e-9);
}

}  // namespace
}  // namespace korvel
