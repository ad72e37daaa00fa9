// Reference copies of the four charts' curves ("Hold Traces"), kept while
// each chart's range stays the same, and what the user is told about those
// dropped because it changed.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace korvel {

class CDisLine;

class HeldTraces {
  public:
    using Charts = std::array<CDisLine*, 4>;

    // A held curve and the chart's plan when it was held.
    struct Trace {
        std::vector<double> samples;
        uint32_t startHz = 0;
        uint32_t stepHz = 0;
    };

    // Copies each chart's first curve as it is now and shows it held.
    void Hold(const Charts& charts);
    // Removes every held curve from the charts.
    void Clear(const Charts& charts);
    // After the charts' frequency plans were applied: a held curve whose
    // chart now starts or steps differently no longer matches and is dropped.
    void DropChangedRanges(const Charts& charts);

    // Holds a remembered curve again on chart `index` (0..3) when it still
    // fits that chart: the same plan and as many samples as it draws.
    bool Restore(const Charts& charts, std::size_t index, Trace trace);
    const std::array<std::optional<Trace>, 4>& Traces() const { return held_; }

    bool Any() const;
    // The held samples per chart (VSWR1, VSWR2, VSWR3, S21), for export.
    std::array<std::optional<std::vector<double>>, 4> Samples() const;
    // "Clear Held Traces", naming the traces dropped since the last hold.
    QString ClearEntryText() const;

  private:
    std::array<std::optional<Trace>, 4> held_;
    QStringList dropped_;
};

}  // namespace korvel
