#include "transfer/ExportCheck.h"

namespace quillbox {

namespace {

// What an XML 1.0 document can hold, as a character or as a reference.
bool xmlKeeps(QStringView value) {
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char16_t c = value[i].unicode();
        if (c < 0x20 && c != 0x9 && c != 0xA && c != 0xD) {
            return false;
        }
        if (c == 0xFFFE || c == 0xFFFF) {
            return false;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < value.size() && value[i + 1].isLowSurrogate()) {
            ++i;
        } else if (QChar::isSurrogate(c)) {
            return false;
        }
    }
    return true;
}

} // namespace

QList<int> fieldsNotKept(const SiteRecord& record, ExportFormat format) {
    QList<int> fields;
    if (format == ExportFormat::Xml) {
        for (int k = 0; k < Col::TextColumns; ++k) {
            if (!xmlKeeps(record[k])) {
                fields << k;
            }
        }
    } else if (format == ExportFormat::Text) {
        for (int k = 0; k < Col::TextColumns; ++k) {
            const QString& v = record[k];
            bool lost = v.contains(QLatin1Char('|'));
            if (k != Col::Notes) {
                lost = lost || v.contains(QLatin1Char('\r')) || v.contains(QLatin1Char('\n'));
            } else if (!lost) {
                // Only CR LF comes back from "~", so a "~" of its own or a lone CR or LF does not.
                lost = v.contains(QLatin1Char('~')) || v.count(QLatin1Char('\r')) != v.count(QLatin1String("\r\n")) ||
                       v.count(QLatin1Char('\n')) != v.count(QLatin1String("\r\n"));
            }
            if (lost) {
                fields << k;
            }
        }
    }
    return fields;
}

QString exportLossMessage(const ExportLoss& loss, ExportFormat format) {
    if (loss.records == 0) {
        return QString();
    }
    const QString kind = format == ExportFormat::Xml ? QStringLiteral("XML") : QStringLiteral("text");
    return (loss.records == 1 ? QStringLiteral("1 record holds")
                              : QStringLiteral("%1 records hold").arg(loss.records)) +
           QStringLiteral(" characters the %1 format cannot carry, in the fields %2; they will not come back exactly "
                          "when the file is imported. The CSV format keeps them.")
               .arg(kind, loss.fields.join(QStringLiteral(", ")));
}

} // namespace quillbox
