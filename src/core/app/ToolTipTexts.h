#pragma once

#include <QList>
#include <QString>

namespace quillbox {

struct ToolTipEntry {
    int window;
    int gadget;
    QString text;
};

// The tool tips of the main window (1, its gadgets and some menu entries by item number), the print
// window (8) and the data form (9), in order.
const QList<ToolTipEntry>& toolTipTable();

} // namespace quillbox
