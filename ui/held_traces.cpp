#include "held_traces.h"

#include "dis_line.h"

namespace korvel {

void HeldTraces::Hold(const Charts& charts) {
    dropped_.clear();
    for (std::size_t i = 0; i < charts.size(); ++i) {
        CDisLine& chart = *charts[i];
        const std::atomic<double>* data = chart.m_curveData[0];
        if (data == nullptr) {
            held_[i].reset();
            chart.m_heldSamples.clear();
        } else {
            Trace held;
            held.samples.resize(chart.m_curveCount[0]);
            for (std::size_t k = 0; k < held.samples.size(); ++k) {
                held.samples[k] = data[k].load(std::memory_order_relaxed);
            }
            held.startHz = chart.m_startFreqHz;
            held.stepHz = chart.m_stepHz;
            chart.m_heldSamples = held.samples;
            held_[i] = std::move(held);
        }
        chart.update();
    }
}

void HeldTraces::Clear(const Charts& charts) {
    dropped_.clear();
    for (std::size_t i = 0; i < charts.size(); ++i) {
        held_[i].reset();
        charts[i]->m_heldSamples.clear();
        charts[i]->update();
    }
}

void HeldTraces::DropChangedRanges(const Charts& charts) {
    for (std::size_t i = 0; i < charts.size(); ++i) {
        CDisLine& chart = *charts[i];
        if (held_[i] &&
            (held_[i]->startHz != chart.m_startFreqHz || held_[i]->stepHz != chart.m_stepHz)) {
            held_[i].reset();
            chart.m_heldSamples.clear();
            chart.update();
            dropped_.append(chart.m_curveName[0]);
        }
    }
}

bool HeldTraces::Restore(const Charts& charts, std::size_t index, Trace trace) {
    if (index >= charts.size()) {
        return false;
    }
    CDisLine& chart = *charts[index];
    if (chart.m_curveData[0] == nullptr || trace.samples.size() != chart.m_curveCount[0] ||
        trace.startHz != chart.m_startFreqHz || trace.stepHz != chart.m_stepHz) {
        return false;
    }
    chart.m_heldSamples = trace.samples;
    held_[index] = std::move(trace);
    chart.update();
    return true;
}

bool HeldTraces::Any() const {
    for (const auto& held : held_) {
        if (held) {
            return true;
        }
    }
    return false;
}

std::array<std::optional<std::vector<double>>, 4> HeldTraces::Samples() const {
    std::array<std::optional<std::vector<double>>, 4> samples;
    for (std::size_t i = 0; i < held_.size(); ++i) {
        if (held_[i]) {
            samples[i] = held_[i]->samples;
        }
    }
    return samples;
}

QString HeldTraces::ClearEntryText() const {
    QString text = QStringLiteral("&Clear Held Traces");
    if (!dropped_.isEmpty()) {
        text +=
            QStringLiteral(" (%1 dropped: range changed)").arg(dropped_.join(QStringLiteral(", ")));
    }
    return text;
}

}  // namespace korvel
