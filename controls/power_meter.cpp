#include "power_meter.h"

namespace korvel {

void ConfigureAsPowerMeter(CMeter& meter) {
    meter.SetNeedleColor(RGB(200, 200, 200));
    meter.ShowColorZones();
    meter.SetRange(-75.0, 15.0);
    meter.SetScaleDecimals(0);
    meter.SetMinorTicks(10);
    meter.SetMajorTicks(9);
    meter.SetUnits(QStringLiteral("dBm"));
    meter.SetValueDecimals(1);
    meter.SetAngles(210, 330);
    meter.m_value = 0.0;
}

}  // namespace korvel
