#include "transfer/TableExport.h"

#include "store/AtomicFile.h"
#include "store/SiteRecord.h"
#include "store/SiteStore.h"
#include "store/SqlText.h"
#include "transfer/CsvFormat.h"
#include "transfer/TextFormat.h"
#include "transfer/XmlLayout.h"

#include <QFileInfo>

#include <memory>

namespace quillbox {

namespace {

const QString selectAll = QStringLiteral("SELECT * FROM quillbox");

// The system's reason for a failed write, after the program's own message.
QString reason(const AtomicFile& file) {
    return file.errorString().isEmpty() ? QString() : QLatin1Char(' ') + file.errorString() + QLatin1Char('.');
}

ExportResult exportLines(const Database& db, bool csv, const QString& chosenPath, const ExportProgress& progress) {
    ExportResult result;
    const QString kind = csv ? QStringLiteral("csv") : QStringLiteral("text");
    result.path = withExtension(chosenPath, csv ? QStringLiteral("csv") : QStringLiteral("txt"));
    AtomicFile file(result.path);
    if (!file.open()) {
        result.error = QStringLiteral("Cannot create the %1 export file.").arg(kind) + reason(file);
        return result;
    }
    const QString queryFailed = QStringLiteral("Cannot retrieve data, database error.");
    Query query(db, selectAll);
    if (!query.isValid()) {
        file.cancel();
        result.error = queryFailed;
        return result;
    }
    SiteRecord record;
    while (query.next()) {
        readFullRow(query, record);
        ++result.count;
        if (progress) {
            progress(csv ? csvField(record[Col::SiteName]) + QLatin1Char(',') : record[Col::SiteName], result.count);
        }
        file.append(csv ? csvLine(record) : textLine(record));
        file.append(u"\r\n");
    }
    if (query.failed()) {
        file.cancel();
        result.error = queryFailed;
        return result;
    }
    if (!file.commit()) {
        result.error = QStringLiteral("Cannot write the %1 export file.").arg(kind) + reason(file);
        return result;
    }
    result.written = true;
    return result;
}

ExportResult exportXml(const Database& db, const QString& chosenPath, const ExportProgress& progress) {
    ExportResult result;
    result.path = withExtension(chosenPath, QStringLiteral("xml"));
    const QString queryFailed = QStringLiteral("The database query has failed to retrieve any data");
    Query query(db, selectAll);
    if (!query.isValid()) {
        result.error = queryFailed;
        return result;
    }
    std::unique_ptr<AtomicFile> file;
    QString item;
    while (query.next()) {
        if (!file) {
            // The document begins with the first row: an empty table writes no file.
            file = std::make_unique<AtomicFile>(result.path);
            if (!file->open()) {
                result.error = QStringLiteral("Cannot create the xml export file.") + reason(*file);
                return result;
            }
            QString head = XmlLayout::declaration();
            XmlLayout::startTag(head, 0, xmlDocumentName);
            file->append(head);
        }
        item.resize(0); // keeps its capacity for the next record
        XmlLayout::startTag(item, 1, xmlItemName);
        QString siteName;
        // The thirty columns by name, in table order, whatever order the file's table keeps them in.
        for (int c = 0; c < Col::Count; ++c) {
            const QString value = query.field(c);
            if (c == Col::SiteName) {
                siteName = value;
            }
            XmlLayout::valueElement(item, 2, columnNames()[c], value);
        }
        XmlLayout::endTag(item, 1, xmlItemName);
        file->append(item);
        ++result.count;
        if (progress) {
            progress(siteName, result.count);
        }
    }
    if (query.failed()) {
        if (file) {
            file->cancel();
        }
        result.error = queryFailed;
        return result;
    }
    if (!file) {
        return result;
    }
    QString tail;
    XmlLayout::endTag(tail, 0, xmlDocumentName);
    file->append(tail);
    if (!file->commit()) {
        result.error = QStringLiteral("Cannot write the xml export file.") + reason(*file);
        return result;
    }
    result.written = true;
    return result;
}

} // namespace

QString withExtension(const QString& path, const QString& extension) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    const QString current = dot < 0 ? QString() : path.mid(dot + 1).toLower();
    return current == extension ? path : path + QLatin1Char('.') + extension;
}

ExportFormat exportFormatFor(const QString& path, ExportFormat chosen) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("csv")) {
        return ExportFormat::Csv;
    }
    if (suffix == QLatin1String("xml")) {
        return ExportFormat::Xml;
    }
    return suffix == QLatin1String("txt") ? ExportFormat::Text : chosen;
}

ExportResult exportTable(const Database& db, ExportFormat format, const QString& chosenPath,
                         const ExportProgress& progress) {
    switch (format) {
    case ExportFormat::Text:
        return exportLines(db, false, chosenPath, progress);
    case ExportFormat::Csv:
        return exportLines(db, true, chosenPath, progress);
    case ExportFormat::Xml:
        return exportXml(db, chosenPath, progress);
    }
    return {};
}

} // namespace quillbox
