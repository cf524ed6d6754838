#include "print/PrintDocument.h"

#include "record/RecordForm.h"
#include "store/AtomicFile.h"
#include "store/SiteStore.h"
#include "store/SqlText.h"

#include <QFile>

namespace quillbox {

namespace {
const QString rowLabelCell = QStringLiteral(
    " style='vertical-align: top; width: 160px; text-align: left; background-color: rgb(237, 237, 237);'><span");
const QString rowContentCell = QStringLiteral(
    " style='vertical-align: top; width: 500px; text-align: left; background-color: rgb(247, 247, 247);'>");
const QString closingLabelCell =
    QStringLiteral(" style='vertical-align: top; width: 160px; text-align: left; background-color: white;'><span");
const QString closingContentCell =
    QStringLiteral(" style='vertical-align: top; width: 500px; text-align: left; background-color: white;'><br>");
const QString labelSpan = QStringLiteral(" style='font-weight: bold; color: rgb(0, 0, 102);'>");

void appendEscaped(QString& out, QChar c) {
    switch (c.unicode()) {
    case '&':
        out += QLatin1String("&amp;");
        break;
    case '<':
        out += QLatin1String("&lt;");
        break;
    case '>':
        out += QLatin1String("&gt;");
        break;
    case '"':
        out += QLatin1String("&quot;");
        break;
    default:
        out += c;
        break;
    }
}
} // namespace

QString htmlEscape(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        appendEscaped(out, c);
    }
    return out;
}

QString withLineBreakHints(const QString& text) {
    // The hint follows the character as the reader sees it, so it lands after an entity, never inside one.
    QString out;
    out.reserve(text.size() + text.size() / 4);
    for (const QChar c : text) {
        appendEscaped(out, c);
        switch (c.unicode()) {
        case '/':
        case '.':
        case '?':
        case '&':
        case '=':
        case ':':
            out += QLatin1String("<wbr>");
            break;
        default:
            break;
        }
    }
    return crLfLineBreaks(out);
}

void PrintDocumentWriter::line(const QString& text) {
    m_text += text;
    m_text += QLatin1String("\r\n");
}

void PrintDocumentWriter::header() {
    line(QStringLiteral("<!DOCTYPE HTML PUBLIC '-//W3C//DTD HTML 4.01 Transitional//EN'><html lang='en-au'><head> "));
    line(QString());
    line(QStringLiteral(
        "  <meta content='text/html; charset=UTF-8' http-equiv='content-type'><title>Vennholt Quillbox</title>"));
    line(QString());
    line(QStringLiteral("  <meta content='Vennholt, 2010' name='author'>"));
    line(QStringLiteral("  <meta content='Quillbox HTML Print Template' name='description'></head><body>"));
}

void PrintDocumentWriter::tableStart() {
    line(QStringLiteral("<table style='text-align: left; width: 660px;' border='0'"));
    line(QStringLiteral(" cellpadding='2' cellspacing='5'>"));
    line(QStringLiteral("  <tbody>"));
}

void PrintDocumentWriter::row(const QString& label, const QString& content) {
    line(QStringLiteral("    <tr>"));
    line(QStringLiteral("      <td"));
    line(rowLabelCell);
    line(labelSpan + label + QStringLiteral("</span><br>"));
    line(QStringLiteral("      </td>"));
    line(QStringLiteral("      <td"));
    line(rowContentCell + content + QStringLiteral("<br>"));
    line(QStringLiteral("      </td>"));
    line(QStringLiteral("    </tr>"));
}

void PrintDocumentWriter::recordRows(const SiteRecord& record) {
    // Site name, user name, password, home page and the nine free fields: a row only where the label is set.
    for (int label = Col::SiteNameLabel; label < Col::Category; label += 2) {
        if (!record[label].isEmpty()) {
            row(htmlEscape(record[label]), withLineBreakHints(record[label + 1]));
        }
    }
    row(QStringLiteral("Category"), htmlEscape(record[Col::Category]));
    row(QStringLiteral("Owner"), htmlEscape(record[Col::Owner]));
    if (!record[Col::Notes].isEmpty()) {
        // HTML takes a line break for a blank: each of the notes' lines is broken where it was.
        row(QStringLiteral("Notes"),
            withLineBreakHints(record[Col::Notes]).replace(QLatin1String("\r\n"), QLatin1String("<br>\r\n")));
    }
}

void PrintDocumentWriter::tableClose() {
    line(QStringLiteral("    <tr>"));
    line(QStringLiteral("      <td"));
    line(closingLabelCell);
    line(labelSpan + QStringLiteral("</span><br>"));
    line(QStringLiteral("      </td>"));
    line(QStringLiteral("      <td"));
    line(closingContentCell);
    line(QStringLiteral("      </td>"));
    line(QStringLiteral("    </tr>"));
    line(QStringLiteral("  </tbody>"));
    line(QStringLiteral("</table>"));
    // A second pair of end tags follows every table; browsers ignore it.
    line(QStringLiteral("  </tbody>"));
    line(QStringLiteral("</table>"));
}

void PrintDocumentWriter::footer() {
    line(QStringLiteral("<br>"));
    line(QStringLiteral("</body></html>"));
}

PrintDocument buildPrintDocument(const Database& db, const QList<PrintRow>& rows) {
    PrintDocument doc;
    PrintDocumentWriter writer;
    writer.header();
    if (rows.isEmpty()) {
        doc.messages.append({2, QStringLiteral("There are no items in the list to print.")});
    } else {
        doc.printed = 0;
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const PrintRow& listRow = rows[i];
            if (!listRow.selected) {
                doc.messages.append({1, QStringLiteral("Skipping item %1, not selected.").arg(i)});
                continue;
            }
            ++doc.printed;
            writer.tableStart();
            Query query(db, recordStatement(listRow.record));
            SiteRecord record;
            while (query.next()) {
                readFullRow(query, record);
                writer.recordRows(record);
            }
            if (query.failed()) {
                // That record's table stays open; the next one still prints.
                doc.messages.append({2, QStringLiteral("The current site failed to be retrieved.")});
                continue;
            }
            writer.tableClose();
        }
    }
    writer.footer();
    doc.bytes = writer.bytes();
    return doc;
}

Result writePrintFile(const QString& fileName, const QByteArray& bytes) {
    // The document holds passwords: private to the user, even when an earlier run left one.
    return writeFileAtomically(fileName, bytes, true);
}

} // namespace quillbox
