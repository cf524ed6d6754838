#include "app/Snapping.h"

namespace quillbox {

SnapRect snapToBorders(const SnapRect& proposed, int workRight, int workBottom, SnapLatches& latches) {
    SnapRect r = proposed;
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    if (r.left >= SnapDistance) {
        latches.left = 0;
    } else if (latches.left == 0) {
        r.left = 0;
        r.right = width;
        latches.left = 1;
    }
    if (r.top >= SnapDistance) {
        latches.top = 0;
    } else if (latches.top == 0) {
        r.top = 0;
        r.bottom = height;
        latches.top = 1;
    }
    if (workRight - SnapDistance >= r.right) {
        latches.right = 0;
    } else if (latches.right == 0) {
        r.left = workRight - width;
        r.right = workRight;
        latches.right = 1;
    }
    if (workBottom - SnapDistance >= r.bottom) {
        latches.bottom = 0;
    } else if (latches.bottom == 0) {
        r.top = workBottom - height;
        r.bottom = workBottom;
        latches.bottom = 1;
    }
    // Never outside the work area.
    if (r.top < 0) {
        r.top = 0;
        r.bottom = height;
    }
    if (r.left < 0) {
        r.left = 0;
        r.right = width;
    }
    if (r.right > workRight) {
        r.right = workRight;
        r.left = workRight - width;
    }
    if (r.bottom > workBottom) {
        r.bottom = workBottom;
        r.top = workBottom - height;
    }
    return r;
}

} // namespace quillbox
