#pragma once

#include "app/Dispatch.h"

#include <QWidget>

class QLabel;
class QTextEdit;

namespace quillbox {

// Window 2: the banner and a read-only text about the program.
class AboutWindow : public QWidget {
    Q_OBJECT
public:
    AboutWindow(DispatchFn dispatch, QWidget* parent);

    QLabel* banner() const { return m_banner; }
    QTextEdit* text() const { return m_text; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    DispatchFn m_dispatch;
    QLabel* m_banner = nullptr;
    QTextEdit* m_text = nullptr;
};

} // namespace quillbox
