#include "transfer/TableExport.h"

#include "store/PrivateFile.h"
#include "store/SiteRecord.h"
#include "store/SiteStore.h"
#include "store/SqlText.h"
#include "transfer/CsvFormat.h"
#include "transfer/TextFormat.h"
#include "transfer/XmlDump.h"
#include "transfer/XmlLayout.h"

#include <QFile>
#include <QSaveFile>

#include <memory>

namespace quillbox {

namespace {

const QString selectAll = QStringLiteral("SELECT * FROM quillbox");
constexpr qsizetype flushSize = 1 << 20;

// A QSaveFile fed in large pieces; remembers the first failure.
class ExportFile {
public:
    explicit ExportFile(const QString& path) : m_file(path) {}
    // A new file is private to the user, as it holds passwords; a file replaced keeps the
    // permissions its owner gave it.
    bool open() {
        const bool existed = QFile::exists(m_file.fileName());
        if (!m_file.open(QIODevice::WriteOnly)) {
            return false;
        }
        if (!existed) {
            m_file.setPermissions(privateFile);
        }
        return true;
    }
    void append(QStringView text) {
        m_pending += text;
        if (m_pending.size() >= flushSize) {
            flush();
        }
    }
    bool commit() {
        flush();
        if (!m_ok) {
            m_file.cancelWriting();
        }
        return m_file.commit() && m_ok;
    }
    void cancel() { m_file.cancelWriting(); }

private:
    // Converts the text gathered so far in one piece and writes it.
    void flush() {
        if (m_ok && !m_pending.isEmpty()) {
            const QByteArray bytes = m_pending.toUtf8();
            m_ok = m_file.write(bytes) == bytes.size();
        }
        m_pending.resize(0); // keeps its capacity
    }
    QSaveFile m_file;
    QString m_pending;
    bool m_ok = true;
};

ExportResult exportLines(const Database& db, bool csv, const QString& chosenPath, const ExportProgress& progress) {
    ExportResult result;
    const QString kind = csv ? QStringLiteral("csv") : QStringLiteral("text");
    result.path = withExtension(chosenPath, csv ? QStringLiteral("csv") : QStringLiteral("txt"));
    ExportFile file(result.path);
    if (!file.open()) {
        result.error = QStringLiteral("Cannot create the %1 export file.").arg(kind);
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
        result.error = QStringLiteral("Cannot write the %1 export file.").arg(kind);
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
    std::unique_ptr<ExportFile> file;
    QStringList names;
    QString item;
    while (query.next()) {
        if (!file) {
            // The document begins with the first row: an empty table writes no file.
            file = std::make_unique<ExportFile>(result.path);
            if (!file->open()) {
                result.error = QStringLiteral("Cannot create the xml export file.");
                return result;
            }
            for (int c = 0; c < query.columnCount(); ++c) {
                names.append(query.columnName(c));
            }
            QString head = XmlLayout::declaration();
            XmlLayout::startTag(head, 0, xmlDocumentName);
            file->append(head);
        }
        item.resize(0); // keeps its capacity for the next record
        XmlLayout::startTag(item, 1, xmlItemName);
        QString siteName;
        for (int c = 0; c < names.size(); ++c) {
            const QString value = sqlReadBack(query.text(c));
            if (c == Col::SiteName) {
                siteName = value;
            }
            XmlLayout::valueElement(item, 2, names[c], value);
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
        result.error = QStringLiteral("Cannot write the xml export file.");
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
