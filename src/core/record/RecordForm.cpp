#include "record/RecordForm.h"

#include "store/SqlText.h"

namespace quillbox {

const QStringList& defaultLabels() {
    static const QStringList labels{QStringLiteral("Site name"), QStringLiteral("User name"),
                                    QStringLiteral("Password"), QStringLiteral("Home page")};
    return labels;
}

QString valueListStatement(int column) {
    const bool valueColumn = (column >= Col::SiteName && column <= Col::FirstMisc + 17 && column % 2 == 1) ||
                             column == Col::Category || column == Col::Owner;
    if (!valueColumn) {
        return QString();
    }
    // The column name is padded to nine characters before " FROM".
    const QString name = columnNames().at(column);
    return QStringLiteral("SELECT DISTINCT ") + name.leftJustified(9, QLatin1Char(' ')) +
           QStringLiteral(" FROM quillbox ORDER BY ") + name;
}

QString labelListStatement(int labelColumn) {
    if (labelColumn < Col::SiteNameLabel || labelColumn > Col::FirstMisc + 16 || labelColumn % 2 != 0) {
        return QString();
    }
    const QString name = columnNames().at(labelColumn);
    // The labels of free fields 6 to 9 are not padded; the others are, as the value lists.
    const bool padded = labelColumn < Col::FirstMisc + 10;
    return QStringLiteral("SELECT DISTINCT ") + (padded ? name.leftJustified(9, QLatin1Char(' ')) : name) +
           QStringLiteral(" FROM quillbox ORDER BY ") + name;
}

QString notesForEditor(const QString& storedText) {
    QString text = storedText;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QString crLfLineBreaks(const QString& text) {
    QString out = notesForEditor(text);
    out.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return out;
}

QString notesForStore(const QString& editorText) {
    QString text = crLfLineBreaks(editorText);
    text.replace(QChar::ParagraphSeparator, QLatin1String("\r\n"));
    text.replace(QChar::LineSeparator, QLatin1String("\r\n"));
    return text;
}

SiteRecord recordForSaving(const SiteRecord& typed) {
    SiteRecord record = typed;
    record[Col::Notes] = notesForStore(typed[Col::Notes]);
    return quotedFields(record);
}

SiteRecord editedValues(const SiteRecord& typed, const SiteRecord& asOpened, const SiteRecord& stored) {
    SiteRecord values;
    for (int k = 0; k < Col::TextColumns; ++k) {
        if (typed[k] == asOpened[k]) {
            values[k] = stored[k];
        } else {
            values[k] = k == Col::Notes ? notesForStore(typed[k]) : typed[k];
        }
    }
    return values;
}

namespace {
// The name a field goes by in the form: a value under its record's label, a label as the label of
// the default caption it stands for.
QString fieldLabel(const SiteRecord& record, int column) {
    if (column == Col::Category) {
        return QStringLiteral("Category");
    }
    if (column == Col::Owner) {
        return QStringLiteral("Owner");
    }
    if (column == Col::Notes) {
        return QStringLiteral("Notes");
    }
    const int pair = column / 2;
    const QString fallback = pair < 4 ? defaultLabels().at(pair) : QStringLiteral("Misc %1").arg(pair - 3);
    if (column % 2 == 0) {
        return QStringLiteral("Label of %1").arg(fallback);
    }
    return record[column - 1].isEmpty() ? fallback : record[column - 1];
}
} // namespace

QStringList changedFieldLabels(const SiteRecord& a, const SiteRecord& b) {
    QStringList labels;
    for (int k = 0; k < Col::TextColumns; ++k) {
        if (a[k] != b[k]) {
            labels.append(fieldLabel(a, k));
        }
    }
    return labels;
}

QString versionChanges(const SiteRecord& version, const SiteRecord& after, bool showPrivate) {
    QStringList parts;
    for (int k = 0; k < Col::TextColumns; ++k) {
        if (version[k] == after[k]) {
            continue;
        }
        QString value = version[k];
        const bool privateColumn = k == Col::UserName || k == Col::Password || k == Col::HomePage;
        if (privateColumn && !showPrivate) {
            value = maskText(value);
        }
        value = value.section(QLatin1Char('\n'), 0, 0).remove(QLatin1Char('\r'));
        if (value.size() > 40) {
            value = value.left(40) + QStringLiteral("...");
        }
        parts.append(
            QStringLiteral("%1: %2").arg(fieldLabel(version, k), value.isEmpty() ? QStringLiteral("(empty)") : value));
    }
    return parts.isEmpty() ? QStringLiteral("(nothing changed)") : parts.join(QStringLiteral(", "));
}

SaveCheck checkRecordForSave(const SiteRecord& record) {
    // Blanks count as data: nothing is trimmed.
    if (record[Col::SiteName].isEmpty() && record[Col::UserName].isEmpty() && record[Col::Password].isEmpty() &&
        record[Col::HomePage].isEmpty()) {
        return {false, QStringLiteral("Data Error"),
                QStringLiteral("You must add at least one item of data in the first four fields to save the record.")};
    }
    if (record[Col::Category].isEmpty()) {
        return {false, QStringLiteral("Category Error"),
                QStringLiteral("The record category must not be empty, please assign one.")};
    }
    if (record[Col::Owner].isEmpty()) {
        return {false, QStringLiteral("Owner Error"),
                QStringLiteral("The record owner must not be empty, please assign one.")};
    }
    return {};
}

QString capitaliseTypedLetter(const QString& text, qsizetype caret) {
    const qsizetype i = caret - 1;
    if (i < 0 || i >= text.size() || (i > 0 && text.at(i - 1) != QLatin1Char(' '))) {
        return text;
    }
    QString out = text;
    out[i] = out.at(i).toUpper();
    return out;
}

} // namespace quillbox
