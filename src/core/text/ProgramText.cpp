#include "text/ProgramText.h"

namespace quillbox {

const QStringList& dayNames() {
    static const QStringList names{QStringLiteral("Sunday"),    QStringLiteral("Monday"),   QStringLiteral("Tuesday"),
                                   QStringLiteral("Wednesday"), QStringLiteral("Thursday"), QStringLiteral("Friday"),
                                   QStringLiteral("Saturday")};
    return names;
}

const QStringList& monthNames() {
    static const QStringList names{QStringLiteral("January"), QStringLiteral("February"), QStringLiteral("March"),
                                   QStringLiteral("April"),   QStringLiteral("May"),      QStringLiteral("June"),
                                   QStringLiteral("July"),    QStringLiteral("August"),   QStringLiteral("September"),
                                   QStringLiteral("October"), QStringLiteral("November"), QStringLiteral("December")};
    return names;
}

int dayIndex(const QDate& date) {
    return date.dayOfWeek() % 7;
} // Qt counts Monday 1 .. Sunday 7

QString datedTitle(const QDate& date) {
    return titleMarks + QStringLiteral("  ") + programName + QStringLiteral("  --  ") + dayNames().at(dayIndex(date)) +
           QStringLiteral(", ") + QString::number(date.day()) + QLatin1Char(' ') + monthNames().at(date.month() - 1) +
           QLatin1Char(' ') + QString::number(date.year());
}

QString clockTitle(const QString& baseTitle, const QTime& time) {
    const QString clock = QStringLiteral("%1:%2:%3")
                              .arg(time.hour(), 2, 10, QLatin1Char('0'))
                              .arg(time.minute(), 2, 10, QLatin1Char('0'))
                              .arg(time.second(), 2, 10, QLatin1Char('0'));
    return baseTitle + QStringLiteral("  --  ") + QStringLiteral("Current time: ") + clock +
           (time.hour() > 12 ? QStringLiteral(" PM") : QStringLiteral(" AM"));
}

QString infoText(const QString& text) {
    return QStringLiteral("Info: ") + text;
}

QString errorText(const QString& text) {
    return QStringLiteral("Error: ") + text;
}

QString recordCountText(const QString& count) {
    const long long n = count.trimmed().toLongLong();
    const QString word = n == 1 ? QStringLiteral("Record") : QStringLiteral("Records");
    return count + QLatin1Char(' ') + word;
}

} // namespace quillbox
