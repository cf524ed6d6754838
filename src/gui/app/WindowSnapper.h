#pragma once

#include "geometry/Snapping.h"

#include <QObject>

class QWidget;

namespace quillbox {

struct ProgramSettings;

// Watches every window of the program being moved and, while snapping is on, pulls it to the
// work-area borders (the arithmetic lives in core). The work area is read once, at start.
class WindowSnapper : public QObject {
    Q_OBJECT
public:
    WindowSnapper(const ProgramSettings& settings, int workRight, int workBottom, QObject* parent = nullptr);

    // Applies the rule to a window that has just moved; true when it was moved again.
    bool snap(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const ProgramSettings& m_settings;
    int m_workRight;
    int m_workBottom;
    SnapLatches m_latches;
    bool m_moving = false;
};

} // namespace quillbox
