#pragma once

#include <QString>

namespace quillbox::cli {

// Asks for a secret on the controlling terminal with echo off, as every program asking for a
// password does; false with the reason when there is no terminal to ask on.
bool askSecret(const QString& prompt, QString& answer, QString& error);

// Asks a yes/no question on the controlling terminal; yes only for an answer beginning with y or
// Y. False with the reason when there is no terminal to ask on.
bool askYesNo(const QString& question, bool& yes, QString& error);

// One line of standard input without its line end; false at the end of input.
bool readStandardInputLine(QString& line);

// Writes text, UTF-8 encoded, whatever the locale says.
void writeOut(const QString& text);
void writeOut(const QByteArray& bytes);
void writeError(const QString& text);

} // namespace quillbox::cli
