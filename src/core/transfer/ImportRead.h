#pragma once

#include "Result.h"
#include "transfer/CsvFormat.h"
#include "transfer/ImportPreview.h"
#include "transfer/ImportSink.h"

#include <QIODevice>
#include <QString>

#include <atomic>
#include <memory>

class QFile;

namespace quillbox {

enum class ImportFormat { Text, Csv, Xml, Bookmarks };

// How the user chose to read a file; left empty, the file tells.
struct ImportOptions {
    CsvLayout csvLayout; // a CSV file's separator, header and columns
    CsvChoice csvChoice; // or, without them, what to change of the layout the file shows
    QString encoding;    // of a line format: a name the toolkit's converters know
    // Why the last reading with these options refused the file for bytes that are not UTF-8,
    // found past what a sample reads: the column step then offers another encoding.
    QString readingProblem;
};

// The format a file's first bytes show, whatever its name says: an XML declaration or root
// element, a bookmark file's DOCTYPE (or its links), else a line format told by the separator of
// its first line (bars: text; commas, semicolons or tabs: CSV). named: what the name or the user
// chose, kept where the content does not tell otherwise.
ImportFormat detectImportFormat(QByteArrayView head, ImportFormat named);
// The same from an open file, read without moving it.
ImportFormat detectImportFormat(QIODevice& file, ImportFormat named);
// What the preview says when the content disagrees with the name.
QString formatFoundMessage(ImportFormat found, ImportFormat named);
QString importFormatName(ImportFormat format);

// The window reads only regular files: a FIFO or a device could keep it waiting without end, or
// give other data when the preview's file is read again.
QString notRegularFileMessage(const QString& path);

// Opens an import file for reading, "-" being standard input. Opening a FIFO waits for a program
// to open it for writing; that is given up after waitMs (timedOut set, the file left to whoever
// opens the other end). Null when it could not be opened.
std::shared_ptr<QFile> openImportSource(const QString& path, int waitMs, bool& timedOut);
inline const QString standardInputName = QStringLiteral("-");

// Reads an open import file from where it stands into the sink, a piece at a time. Returns why
// the whole file is refused (not text, not valid in its encoding, XML not well-formed), or
// nothing. owner: who records of a CSV from another program, or bookmarks, belong to.
QString readImport(QIODevice& file, ImportFormat format, const QString& owner, ImportSink& sink,
                   const ImportOptions& options = ImportOptions());

// The same, with the file read in a thread of its own while the sink takes what was read on the
// calling thread, in file order: reading and storing overlap. The file is not touched by the
// calling thread until this returns.
QString readImportAlongside(QIODevice& file, ImportFormat format, const QString& owner, ImportSink& sink,
                            const ImportOptions& options = ImportOptions());

// Reads another device, telling how much it has read so far to any thread, and stops reading when
// asked from any thread: each read after stop() fails, so a reader refuses the rest of the file.
class WatchedDevice : public QIODevice {
public:
    explicit WatchedDevice(QIODevice& inner) : m_inner(inner) {}
    bool openToRead() { return open(QIODevice::ReadOnly | QIODevice::Unbuffered); }
    qint64 bytesRead() const { return m_read.load(std::memory_order_relaxed); }
    void stop() { m_stopped.store(true, std::memory_order_relaxed); }
    bool stopped() const { return m_stopped.load(std::memory_order_relaxed); }
    // The device read, for a reader that reads parts of it at offsets in a thread of its own
    // (see readXmlRecords) and counts what it read here.
    QIODevice& inner() const { return m_inner; }
    void countRead(qint64 n) { m_read.fetch_add(n, std::memory_order_relaxed); }

    bool isSequential() const override { return m_inner.isSequential(); }
    qint64 size() const override { return m_inner.size(); }
    qint64 bytesAvailable() const override { return m_inner.bytesAvailable() + QIODevice::bytesAvailable(); }
    bool seek(qint64 pos) override { return m_inner.seek(pos) && QIODevice::seek(pos); }
    bool waitForReadyRead(int msecs) override { return m_inner.waitForReadyRead(msecs); }

protected:
    qint64 readData(char* data, qint64 max) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QIODevice& m_inner;
    std::atomic<qint64> m_read{0};
    std::atomic<bool> m_stopped{false};
};
inline const QString readingStoppedMessage = QStringLiteral("the reading was cancelled");

// The first records of a CSV file (a regular one), read from its start with the separator (null: the file's own)
// and encoding given, for the user to say what each column holds; the file is put back at its
// start. failure: why the file cannot be read that way, or nothing.
CsvSample sampleCsvFile(QIODevice& file, QChar delimiter, const QString& encoding, int maxRows, QString& failure);

// What is known of a CSV file's columns before the user is asked: whether they are known (the
// program's own layout, another known one, or what the user chose for a file of the same first
// line before, which is then put in options), and whether the user may choose them.
struct CsvColumnsKnown {
    bool known = true;
    bool choosable = false;
};
// settingsFile: where the choices are kept, in the group "CSV Columns".
CsvColumnsKnown knownCsvColumns(QIODevice& file, const QString& settingsFile, ImportOptions& options);
// Keeps the user's choice for the next file of the same first line (a file without a header keeps
// none).
Result keepCsvColumns(QIODevice& file, const QString& settingsFile, const ImportOptions& options);

// Hands what a preview of the file read to sink, for storing: what the preview kept, or when it
// could not keep it all, what reading the file again from its start gives (alongside: the reading
// in a thread of its own). Returns why the file is refused now, or nothing; a second reading that
// finds other counts of records or refused lines than the preview is refused.
inline const QString streamTooLongMessage =
    QStringLiteral("the stream holds more records than the preview keeps, and a stream cannot be read again");
inline const QString changedSincePreviewMessage = QStringLiteral("the file has changed since the preview");
QString replayImport(const ImportPreview& preview, QIODevice& file, ImportFormat format, const QString& owner,
                     ImportSink& sink, bool alongside, const ImportOptions& options = ImportOptions());

} // namespace quillbox
