#pragma once

#include "app/SecondaryWindow.h"

#include <QWidget>

class QLabel;
class QTextEdit;

namespace quillbox {

// Window 2: the banner and a read-only text about the program.
class AboutWindow : public SecondaryWindow {
    Q_OBJECT
public:
    AboutWindow(DispatchFn dispatch, QWidget* parent);

    QLabel* banner() const { return m_banner; }
    QTextEdit* text() const { return m_text; }

private:
    QLabel* m_banner = nullptr;
    QTextEdit* m_text = nullptr;
};

} // namespace quillbox
