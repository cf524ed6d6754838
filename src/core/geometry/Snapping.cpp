#include "geometry/Snapping.h"

#include <algorithm>

namespace quillbox {

namespace {

// One axis: the low edge snaps to 0, the high edge to `far`; the two axes never affect each other.
void snapAxis(int& low, int& high, int far, int& lowLatch, int& highLatch) {
    const int size = high - low;
    if (low >= SnapDistance) {
        lowLatch = 0;
    } else if (lowLatch == 0) {
        low = 0;
        high = size;
        lowLatch = 1;
    }
    if (far - SnapDistance >= high) {
        highLatch = 0;
    } else if (highLatch == 0) {
        low = far - size;
        high = far;
        highLatch = 1;
    }
    // Never outside the work area.
    if (low < 0) {
        low = 0;
        high = size;
    }
    if (high > far) {
        high = far;
        low = far - size;
    }
}

} // namespace

SnapRect snapToBorders(const SnapRect& proposed, int workRight, int workBottom, SnapLatches& latches) {
    SnapRect r = proposed;
    snapAxis(r.left, r.right, workRight, latches.left, latches.right);
    snapAxis(r.top, r.bottom, workBottom, latches.top, latches.bottom);
    return r;
}

} // namespace quillbox

namespace quillbox {

WindowSize fitWindow(WindowSize full, WindowSize room, int bar) {
    WindowSize size = full;
    const bool tall = room.height < full.height;
    const bool wide = room.width < full.width + (tall ? bar : 0);
    if (tall) {
        size.height = room.height;
        size.width = full.width + bar;
    }
    if (wide) {
        size.width = room.width;
        size.height = std::min(full.height + bar, room.height);
    }
    size.width = std::max(size.width, 1);
    size.height = std::max(size.height, 1);
    return size;
}

} // namespace quillbox
