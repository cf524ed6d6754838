#include "store/SqlText.h"

#include <algorithm>

namespace quillbox {

const QStringList& columnNames() {
    static const QStringList names = [] {
        QStringList list{QStringLiteral("lsitename"), QStringLiteral("sitename"),  QStringLiteral("lusername"),
                         QStringLiteral("username"),  QStringLiteral("lpassword"), QStringLiteral("password"),
                         QStringLiteral("lhomepage"), QStringLiteral("homepage")};
        for (int k = 1; k <= 9; ++k) {
            list << QStringLiteral("lmisc%1").arg(k) << QStringLiteral("misc%1").arg(k);
        }
        list << QStringLiteral("category") << QStringLiteral("owner") << QStringLiteral("notes")
             << QStringLiteral("record");
        return list;
    }();
    return names;
}

QString sqlQuote(const QString& text) {
    if (!text.contains(QLatin1Char('\''))) {
        return text;
    }
    QString out = text;
    out.replace(QLatin1Char('\''), QLatin1String("''"));
    return out;
}

QString sqlUnquote(const QString& text) {
    if (!text.contains(QLatin1String("''"))) {
        return text;
    }
    QString out = text;
    out.replace(QLatin1String("''"), QLatin1String("'"));
    return out;
}

SiteRecord quotedFields(const SiteRecord& record) {
    SiteRecord quoted;
    for (int k = 0; k < Col::TextColumns; ++k) {
        quoted[k] = sqlQuote(record[k]);
    }
    return quoted;
}

bool isRecordNumber(const QString& text) {
    const qsizetype start = text.startsWith(QLatin1Char('-')) ? 1 : 0;
    if (text.size() == start || text.size() > 20) {
        return false;
    }
    return std::all_of(text.begin() + start, text.end(),
                       [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

QString recordLiteral(const QString& recordNumber) {
    return isRecordNumber(recordNumber) ? recordNumber : QString();
}

QString createTableStatement() {
    return QStringLiteral("CREATE TABLE IF NOT EXISTS quillbox(") +
           QStringLiteral("lsitename TEXT, sitename TEXT, lusername TEXT, username TEXT, lpassword TEXT, ") +
           QStringLiteral("password TEXT, lhomepage TEXT, homepage TEXT, lmisc1 TEXT, misc1 TEXT, lmisc2 TEXT, ") +
           QStringLiteral("misc2 TEXT, lmisc3 TEXT, misc3 TEXT, lmisc4 TEXT, misc4 TEXT, lmisc5 TEXT, misc5 TEXT, ") +
           QStringLiteral("lmisc6 TEXT, misc6 TEXT, lmisc7 TEXT, misc7 TEXT, lmisc8 TEXT, misc8 TEXT, ") +
           QStringLiteral("lmisc9 TEXT, misc9 TEXT, category TEXT, owner TEXT, notes TEXT, ") +
           QStringLiteral("record INTEGER PRIMARY KEY AUTOINCREMENT)");
}

QString buildInsertStatement(const SiteRecord& record) {
    static const QString head = QStringLiteral("INSERT INTO quillbox(") +
                                QStringLiteral("lsitename, sitename, lusername, username, lpassword, password, "
                                               "lhomepage, homepage, lmisc1, ") +
                                QStringLiteral("misc1, lmisc2, misc2, lmisc3, misc3, lmisc4, misc4, lmisc5, misc5, "
                                               "lmisc6, misc6, lmisc7, misc7, ") +
                                QStringLiteral("lmisc8, misc8, lmisc9, misc9, category, owner, notes)") +
                                QStringLiteral("VALUES('");
    QString sql;
    // One allocation: imports build one of these per record.
    sql.reserve(head.size() + 2 + 3 * (Col::TextColumns - 1) + textFieldsLength(record));
    sql += head;
    for (int k = 0; k < Col::TextColumns; ++k) {
        if (k > 0) {
            sql += QLatin1String("','");
        }
        sql += record[k];
    }
    sql += QLatin1String("')");
    return sql;
}

QString buildUpdateStatement(const SiteRecord& record, const QString& recordNumber) {
    const QStringList& names = columnNames();
    QString sql = QStringLiteral("UPDATE quillbox SET") + QStringLiteral("  lsitename='") + record[0];
    for (int k = 1; k < Col::TextColumns; ++k) {
        sql += QLatin1String("',") + names[k] + QLatin1String("='") + record[k];
    }
    sql += QLatin1String("' Where record='") + recordLiteral(recordNumber) + QLatin1String("'");
    return sql;
}

QString recordStatement(const QString& recordNumber) {
    return QStringLiteral("SELECT * FROM quillbox WHERE record='") + recordLiteral(recordNumber) + QLatin1Char('\'');
}

QStringList inTableOrder(const QStringList& recordNumbers) {
    std::vector<qint64> numbers;
    numbers.reserve(static_cast<size_t>(recordNumbers.size()));
    for (const QString& n : recordNumbers) {
        if (isRecordNumber(n)) {
            numbers.push_back(n.toLongLong());
        }
    }
    std::sort(numbers.begin(), numbers.end());
    QStringList sorted;
    sorted.reserve(static_cast<qsizetype>(numbers.size()));
    for (qint64 n : numbers) {
        sorted.append(QString::number(n));
    }
    return sorted;
}

QString deleteRecordsStatement(const QStringList& recordNumbers) {
    QString sql = QStringLiteral("DELETE FROM quillbox WHERE record IN (");
    bool first = true;
    for (const QString& number : recordNumbers) {
        if (isRecordNumber(number)) {
            sql += first ? number : QLatin1Char(',') + number;
            first = false;
        }
    }
    return sql + QLatin1Char(')');
}

} // namespace quillbox
