#pragma once

#include "app/AppState.h"

#include <QPointer>
#include <QString>

namespace quillbox {

class MainWindow;

// What the program tells the user: the main window's status line (a message and the record count)
// and the message boxes, which go through the seams so tests read them instead of waiting.
class StatusLine {
public:
    enum Kind { Info = 1, Error = 2, Count = 3 };

    explicit StatusLine(const Seams& seams) : m_seams(seams) {}

    // The line lives in the main window's status bar; until there is one, nothing shows.
    void attach(MainWindow* main);

    // Status line: 1 information, 2 error, 3 record count; other kinds show nothing.
    void show(int kind, const QString& text);
    void info(const QString& text) { show(Info, text); }
    void error(const QString& text) { show(Error, text); }
    void count(int records) { show(Count, QString::number(records)); }

    void messageBox(const QString& title, const QString& text, MessageIcon icon = MessageIcon::Exclamation) const;
    // Asks a question with the given buttons: the index of the one chosen, -1 when dismissed;
    // `unasked` where there is no way to ask.
    int ask(const QString& title, const QString& text, const QStringList& buttons, int unasked) const;

private:
    const Seams& m_seams;
    QPointer<MainWindow> m_main;
};

} // namespace quillbox
