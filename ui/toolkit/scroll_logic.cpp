#include "ui/toolkit/scroll_logic.h"

namespace {

constexpr int kWheelNotch = 120;

int Clamp(const SCROLL_RANGE& range, int v) {
  return v < range.Top() ? range.Top() : (v > range.Bottom() ? range.Bottom() : v);
}

}  // namespace

int ScrollTo(const SCROLL_RANGE& range, int position, int request, int thumb) {
  if (!range.Scrolls()) return position;
  switch (request) {
    case kScrollLineUp: return Clamp(range, position - 1);
    case kScrollLineDown: return Clamp(range, position + 1);
    case kScrollPageUp: return Clamp(range, position - range.page);
    case kScrollPageDown: return Clamp(range, position + range.page);
    case kScrollThumbPosition:
    case kScrollThumbTrack: return Clamp(range, thumb);
    case kScrollTop: return range.Top();
    case kScrollBottom: return range.Bottom();
    default: return position;
  }
}

int ScrollByWheel(const SCROLL_RANGE& range, int position, int delta, int step) {
  if (!range.Scrolls() || delta == 0) return position;
  // Whole notches only, as the wheel reports them; a partial one still moves
  // by one step in its direction.
  int notches = delta / kWheelNotch;
  if (notches == 0) notches = delta > 0 ? 1 : -1;
  return Clamp(range, position - notches * step);
}
