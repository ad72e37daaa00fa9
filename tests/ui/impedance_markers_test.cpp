#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "impedance_markers.h"

namespace korvel {
namespace {

// Each row: what the user does on a 200-point range, then where the markers
// stand and which one is selected.
TEST(ImpedanceMarkers, ClicksKeysAndDrags) {
    struct Row {
        const char* what;
        std::function<void(ImpedanceMarkers&)> act;
        std::vector<std::size_t> at;
        int selected;
    };
    const std::size_t n = 200;
    const Row rows[] = {
        {"clicks add up to four",
         [&](ImpedanceMarkers& m) {
             for (std::size_t p : {10, 50, 90, 130, 170})
                 m.Click(p, 2, n);
         },
         {10, 50, 90, 170},
         3},
        {"a click near a marker selects it",
         [&](ImpedanceMarkers& m) {
             m.Click(10, 2, n);
             m.Click(50, 2, n);
             m.Click(11, 2, n);
         },
         {10, 50},
         0},
        {"arrows move within the range",
         [&](ImpedanceMarkers& m) {
             m.Click(3, 2, n);
             m.Move(-10, n);
             m.Select(1, n);
             m.Move(500, n);
         },
         {0, 199},
         1},
        {"a drag moves the selected one",
         [&](ImpedanceMarkers& m) {
             m.Click(10, 2, n);
             m.Click(50, 2, n);
             m.Drag(80, n);
         },
         {10, 80},
         1},
        {"delete removes the selected one",
         [&](ImpedanceMarkers& m) {
             m.Select(2, n);
             m.RemoveSelected();
             m.RemoveSelected();
         },
         {100},
         0},
        {"nothing on an empty range",
         [&](ImpedanceMarkers& m) {
             m.Click(5, 2, 0);
             m.Select(0, 0);
             m.Move(1, 0);
             m.RemoveSelected();
         },
         {},
         -1},
    };
    for (const Row& row : rows) {
        ImpedanceMarkers m;
        row.act(m);
        EXPECT_EQ(m.At(), row.at) << row.what;
        EXPECT_EQ(m.Selected(), row.selected) << row.what;
    }
}

}  // namespace
}  // namespace korvel
