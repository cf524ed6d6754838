#pragma once

namespace quillbox {

// Windows dragged to within this many pixels of a work-area border jump to it.
constexpr int SnapDistance = 50;

// A window rectangle with exclusive right and bottom edges (right = left + width).
struct SnapRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    friend bool operator==(const SnapRect&, const SnapRect&) = default;
};

// One latch per border: 1 once a window has jumped to it, 0 again when a window leaves the band.
// Shared by all windows of the program.
struct SnapLatches {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// Where a window proposed at `proposed` goes: the jump to a border happens once on entering its
// band, then the window moves freely inside the band but never out of the work area, whose
// left and top edges are 0 and whose right and bottom edges are given.
SnapRect snapToBorders(const SnapRect& proposed, int workRight, int workBottom, SnapLatches& latches);

// The size of a window whose page is `full` on a work area with `room` for it: the full page
// where it fits, else as much as fits with a scroll bar of `bar` pixels added for each direction
// that scrolls.
struct WindowSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const WindowSize&, const WindowSize&) = default;
};
WindowSize fitWindow(WindowSize full, WindowSize room, int bar);

} // namespace quillbox
