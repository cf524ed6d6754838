#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QTime>

namespace quillbox {

inline const QString titleMarks = QStringLiteral("<°)))o><²³");
inline const QString programName = QStringLiteral("Vennholt Quillbox v2.00");

// Day names from Sunday (index 0) and month names from January (index 0).
const QStringList& dayNames();
const QStringList& monthNames();
// Index into dayNames() for a date.
int dayIndex(const QDate& date);

// "<°)))o><²³  Vennholt Quillbox v2.00  --  Tuesday, 8 December 2026"
QString datedTitle(const QDate& date);
// baseTitle followed by the running clock; the hour stays on the 24-hour clock.
QString clockTitle(const QString& baseTitle, const QTime& time);

// The status line's texts.
QString infoText(const QString& text);
QString errorText(const QString& text);
// "0 Records", "1 Record", "17 Records"; the count arrives as text.
QString recordCountText(const QString& count);

} // namespace quillbox
