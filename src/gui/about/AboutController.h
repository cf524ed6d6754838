#pragma once

#include "app/AppState.h"
#include "app/Controller.h"

#include <QPointer>

namespace quillbox {

class AboutWindow;
class MainWindow;

// The About window. It is not guarded: opening and closing it leave the one-window rule alone.
class AboutController : public Controller {
    Q_OBJECT
public:
    AboutController(const ControllerContext& context, MainWindow& main);

    void open();
    // Opens the user guide shipped with the program, or says on the status line why it cannot.
    void showHelp();
    // The guide's file, or empty when it is not there.
    static QString userGuideFile();
    void handleEvent(int number, Notify kind, int detail);
    // The open About window, or null.
    AboutWindow* window() const;

private:
    void close();

    MainWindow& m_main;
    QPointer<AboutWindow> m_window;
};

} // namespace quillbox
