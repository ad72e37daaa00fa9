// Up to four markers on a range's points, placed and moved with the mouse or
// the keys: a click near a marker selects it, elsewhere adds one (up to four,
// then moves the selected one); 1-4 select (adding one at the middle), the
// arrows move the selected one a point (with Shift ten), Delete removes it.
#pragma once

#include <cstddef>
#include <vector>

namespace korvel {

inline constexpr int kMaxMarkers = 4;

class ImpedanceMarkers {
  public:
    // `near`: how many points away a click still selects a marker.
    void Click(std::size_t point, std::size_t near, std::size_t count);
    // Drags the selected marker to `point` (adds one when there is none).
    void Drag(std::size_t point, std::size_t count);
    void Select(int marker, std::size_t count);
    void Move(int by, std::size_t count);
    void RemoveSelected();

    // Marker k (0..3) stands at At()[k]; numbered k + 1 on screen.
    const std::vector<std::size_t>& At() const { return at_; }
    int Selected() const { return selected_; }

  private:
    std::vector<std::size_t> at_;
    int selected_ = -1;
};

}  // namespace korvel
