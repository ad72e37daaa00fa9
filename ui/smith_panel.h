// The Smith-chart panel that the main dialog paints on its own client area,
// left of the line charts: the chart with the measured reflection (red
// triangle) and the same reflection carried through the user's 50 ohm cable
// (blue triangle), and beside them the two impedances, VSWR, |Γ| and |Z|.
#pragma once

#include <QRect>
#include <cstdint>

#include "smith_grid.h"
#include "smith_panel_geometry.h"
#include "smith_panel_texts.h"

class QPainter;

namespace korvel {

// The window's client area that holds the panel, (0, 0)-(430, 440): what the
// worker repaints after each Smith measurement.
inline const QRect kSmithPanelArea(0, 0, 430, 440);

struct MeasurementState;

// The Smith values as one paint reads them, each loaded once.
struct SmithPanelValues {
    double gammaMag = 0.0;
    double gammaAngle = 0.0;
    double r = 50.0;
    double x = 0.0;
    double zMag = 50.0;
    double vswr = 1.0;
    double gammaShown = 0.0;
    bool zoCalibrating = false;
};

SmithPanelValues ReadSmithPanelValues(const MeasurementState& state);

// Paints the panel at dialog client coordinates, after the dialog's own
// painting. Reads the state, changes nothing in it; the painter's state is
// kept. `smithFreqKHz` and `cableLengthM` are the dialog's settings.
void PaintSmithPanel(QPainter& painter, const MeasurementState& state, uint32_t smithFreqKHz,
                     double cableLengthM);

// The same from values already read.
void PaintSmithPanel(QPainter& painter, const SmithPanelValues& values, uint32_t smithFreqKHz,
                     double cableLengthM);

}  // namespace korvel
