// While an instance lives, every TextOut on this thread is also appended to
// it: the tests check texts and their positions without reading glyphs.
#pragma once

#include <QString>
#include <vector>

#include "draw_context.h"

namespace korvel {

class TextRecorder {
  public:
    TextRecorder() : m_previous(Active()) {
        Active() = this;
        SetTextObserver(&Report);
    }
    ~TextRecorder() {
        Active() = m_previous;
        if (m_previous == nullptr) {
            SetTextObserver(nullptr);
        }
    }
    TextRecorder(const TextRecorder&) = delete;
    TextRecorder& operator=(const TextRecorder&) = delete;

    const std::vector<TextDraw>& Draws() const { return m_draws; }
    void Clear() { m_draws.clear(); }
    // The first recorded draw of exactly this text, or nullptr.
    const TextDraw* Find(const QString& text) const {
        for (const TextDraw& d : m_draws) {
            if (d.text == text) {
                return &d;
            }
        }
        return nullptr;
    }

  private:
    static TextRecorder*& Active() {
        static thread_local TextRecorder* active = nullptr;
        return active;
    }
    static void Report(const TextDraw& draw) {
        if (Active() != nullptr) {
            Active()->m_draws.push_back(draw);
        }
    }

    std::vector<TextDraw> m_draws;
    TextRecorder* m_previous;
};

}  // namespace korvel
