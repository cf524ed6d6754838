#pragma once

class QWidget;

namespace quillbox {

struct ProgramSettings;

// Shows a window, fading it in over about a quarter of a second when fading is on.
void fadeIn(const ProgramSettings& settings, QWidget* window, int step = 10);
// Fades a window out (when fading is on) and hides it; the caller then closes or deletes it.
void fadeOut(const ProgramSettings& settings, QWidget* window, int step = 8);

} // namespace quillbox
