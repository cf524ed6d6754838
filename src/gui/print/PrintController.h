#pragma once

#include "app/AppState.h"
#include "app/Controller.h"

#include <QPointer>

namespace quillbox {

class MainWindow;
class PrintWindow;

// Printing: the print document of the listed rows, the window that shows it, and its buttons.
class PrintController : public Controller {
    Q_OBJECT
public:
    PrintController(const ControllerContext& context, MainWindow& main);

    void openPrintWindow();
    void handleEvent(int number, Notify kind, int detail);
    // The open print window, or null.
    PrintWindow* window() const;

private:
    void close();

    MainWindow& m_main;
    QPointer<PrintWindow> m_window;
};

} // namespace quillbox
