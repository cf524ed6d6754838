#pragma once

#include <QFont>
#include <QIcon>
#include <QRect>
#include <QString>

class QFrame;
class QPalette;
class QScreen;
class QWidget;

namespace quillbox {

// The look every window shares: the program's font, grey panels and entry colours.
QFont programFont(int points);
// A flat-bordered grey container at a fixed place in its parent.
QFrame* makePanel(QWidget* parent, const QRect& geometry);
// The same look through palettes alone: quicker to paint than a style sheet, which matters for a
// list repainted at every keystroke.
void applyWindowPalette(QWidget* window);
void applyEntryPalette(QWidget* entry);

// The program's own colours, each background with its text colour, whatever the desktop's theme:
// the fixed light greys of the windows would otherwise meet a dark theme's white text.
QPalette programPalette();

// Numbered image of the program's icon set.
QIcon programImage(int number);
// Places the window in the middle of the screen's work area; nothing happens without a screen.
void centreOnScreen(QWidget* window, const QScreen* screen);

// Style sheet for a secondary window of the program: background, panels, entries.
QString windowStyleSheet(const QString& windowSelector);

} // namespace quillbox
