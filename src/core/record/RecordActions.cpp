#include "record/RecordActions.h"

#include "store/SqlText.h"

#include <QUrl>

namespace quillbox {

namespace {
constexpr int labelWidth = 25;
const QLatin1String lineEnd("\r\n");
} // namespace

QString paddedLabel(const QString& label) {
    QString text = label + QLatin1String(": ");
    const qsizetype blanks = labelWidth - label.size();
    if (blanks > 1) {
        text += QString(blanks, QLatin1Char(' '));
    }
    return text;
}

QString recordClipboardText(const SiteRecord& record) {
    QString text;
    for (int label = Col::SiteNameLabel; label < Col::Category; label += 2) {
        const QString& value = record[label + 1];
        if (!record[label].isEmpty() && !value.isEmpty()) {
            text += paddedLabel(record[label]) + value + lineEnd;
        }
    }
    text += paddedLabel(QStringLiteral("Category")) + record[Col::Category] + lineEnd;
    text += paddedLabel(QStringLiteral("Owner name")) + record[Col::Owner] + lineEnd + lineEnd;
    if (!record[Col::Notes].isEmpty()) {
        text += paddedLabel(QStringLiteral("Notes")) + record[Col::Notes] + lineEnd;
    }
    text += QString(79, QLatin1Char('-')) + lineEnd;
    return text;
}

QString loginFieldLabel(const SiteRecord& record, int valueColumn) {
    const QString& label = record[valueColumn - 1];
    if (!label.trimmed().isEmpty()) {
        return label;
    }
    return valueColumn == Col::Password ? QStringLiteral("Password") : QStringLiteral("User name");
}

QString loginCopiedMessage(const QString& label, const QString& siteName, int clearSeconds) {
    QString text = label + QStringLiteral(" of ") + siteName + QStringLiteral(" copied to the clipboard");
    if (clearSeconds > 0) {
        text += QStringLiteral(", cleared in %1 second%2").arg(clearSeconds).arg(clearSeconds == 1 ? "" : "s");
    }
    return text + QLatin1Char('.');
}

QString copiedMessage(int count) {
    return QStringLiteral("(") + QString::number(count) +
           QStringLiteral(") Have been copied To the program clipboard.");
}

QString homePageStatement(const QString& recordNumber) {
    return QStringLiteral("SELECT homepage FROM quillbox WHERE record ='") + recordLiteral(recordNumber) +
           QLatin1Char('\'');
}

QString homePageAddress(const QString& homePage) {
    qsizetype start = -1;
    for (const QLatin1String scheme : {QLatin1String("http://"), QLatin1String("https://")}) {
        const qsizetype at = homePage.indexOf(scheme, 0, Qt::CaseInsensitive);
        if (at >= 0 && (start < 0 || at < start)) {
            start = at;
        }
    }
    if (start < 0) {
        return QString();
    }
    const QString address = homePage.mid(start).trimmed();
    // Only a well-formed web address with a host goes to the browser.
    const QUrl url(address, QUrl::TolerantMode);
    if (!url.isValid() || url.host().isEmpty() ||
        (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))) {
        return QString();
    }
    return address;
}

} // namespace quillbox
