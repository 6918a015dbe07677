#pragma once
// Where a scroll bar's position goes for a scroll request or a wheel turn:
// the rule of the panels' own scroll bars (UDLGSCROLL), kept apart from the
// control so that it can be checked without a window.

// The requests of a scroll message (the low word of its wParam).
enum SCROLL_REQUEST : int {
  kScrollLineUp = 0,
  kScrollLineDown = 1,
  kScrollPageUp = 2,
  kScrollPageDown = 3,
  kScrollThumbPosition = 4,
  kScrollThumbTrack = 5,
  kScrollTop = 6,
  kScrollBottom = 7,
  kScrollEnd = 8,
};

struct SCROLL_RANGE {
  int minimum = 0;
  int maximum = 0;
  int page = 0;
  // The highest position: the last page ends at the maximum.
  int Top() const { return minimum; }
  int Bottom() const { return maximum - page > minimum ? maximum - page : minimum; }
  // Nothing scrolls when a page holds everything.
  bool Scrolls() const { return page < maximum; }
};

// The position after `request` from `position` (`thumb`: the position the
// message reports for the thumb requests), clamped to the range; the
// position unchanged when nothing scrolls or the request is unknown.
int ScrollTo(const SCROLL_RANGE& range, int position, int request, int thumb);

// The position after a wheel turn of `delta` (120 a notch away from the
// user): each notch away moves up by `step`, each toward the user down.
int ScrollByWheel(const SCROLL_RANGE& range, int position, int delta, int step);
