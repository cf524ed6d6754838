#include "transfer/TableExport.h"

#include "store/AtomicFile.h"
#include "store/SiteRecord.h"
#include "text/Utf8Text.h"
#include "transfer/CsvFormat.h"
#include "transfer/XmlLayout.h"

#include <QFileInfo>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>

namespace quillbox {

namespace {

const QString selectAll = QStringLiteral("SELECT * FROM quillbox");

// What is gathered before it goes to the file: this much at a time.
constexpr qsizetype chunkSize = 1 << 20;

// The system's reason for a failed write, after the program's own message.
QString reason(const AtomicFile& file) {
    return file.errorString().isEmpty() ? QString() : QLatin1Char(' ') + file.errorString() + QLatin1Char('.');
}

// A short run of the layout's own bytes, copied whole.
class Piece {
public:
    static constexpr qsizetype width = 32;
    Piece() = default;
    explicit Piece(const QByteArray& bytes)
        : m_size(bytes.size()), m_long(bytes.size() > width ? bytes : QByteArray()) {
        std::memcpy(m_bytes.data(), bytes.constData(), static_cast<size_t>(std::min(m_size, width)));
    }
    qsizetype size() const { return m_size; }
    const char* data() const { return m_long.isEmpty() ? m_bytes.data() : m_long.constData(); }
    bool isShort() const { return m_size <= width; }

private:
    std::array<char, width> m_bytes{};
    qsizetype m_size = 0;
    QByteArray m_long;
};

// The file's bytes as they are made, room asked for ahead of each record.
class ByteOut {
public:
    void reserve(qsizetype more) {
        more += Piece::width; // a short piece is copied at its full width
        if (m_end - m_at < more) {
            const qsizetype used = size();
            m_bytes.resize(std::max(2 * m_bytes.size(), used + more));
            m_begin = m_bytes.data();
            m_at = m_begin + used;
            m_end = m_begin + m_bytes.size();
        }
    }
    void put(char c) { *m_at++ = c; }
    void put(const char* data, qsizetype n) {
        if (n > 0) {
            std::memcpy(m_at, data, static_cast<size_t>(n));
            m_at += n;
        }
    }
    void put(QByteArrayView bytes) { put(bytes.data(), bytes.size()); }
    void put(const Piece& piece) {
        if (piece.isShort()) {
            std::memcpy(m_at, piece.data(), Piece::width); // of a known size: no call
            m_at += piece.size();
        } else {
            put(piece.data(), piece.size());
        }
    }
    qsizetype size() const { return m_at - m_begin; }
    QByteArrayView view() const { return QByteArrayView(m_begin, size()); }
    void clear() { m_at = m_begin; }

private:
    QByteArray m_bytes;
    char* m_begin = nullptr;
    char* m_at = nullptr;
    char* m_end = nullptr;
};

// Writes full buffers on a thread of its own, so the file's writes run beside the reading of the
// table. A failed write is the file's to remember (AtomicFile), seen at its commit.
class BackgroundWriter {
public:
    explicit BackgroundWriter(AtomicFile& file) : m_file(file), m_thread([this] { run(); }) {}
    ~BackgroundWriter() { finish(); }
    BackgroundWriter(const BackgroundWriter&) = delete;
    BackgroundWriter& operator=(const BackgroundWriter&) = delete;

    // Takes the bytes of out to write, once the last ones are written, and leaves out empty.
    void hand(ByteOut& out) {
        std::unique_lock lock(m_mutex);
        m_idle.wait(lock, [this] { return !m_full; });
        std::swap(out, m_buffer);
        out.clear();
        m_full = true;
        m_ready.notify_one();
    }
    // Returns once everything handed over is written.
    void finish() {
        {
            std::unique_lock lock(m_mutex);
            m_idle.wait(lock, [this] { return !m_full; });
            m_stop = true;
        }
        m_ready.notify_one();
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }

private:
    void run() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_ready.wait(lock, [this] { return m_full || m_stop; });
            if (!m_full) {
                return;
            }
            lock.unlock();
            m_file.write(m_buffer.view());
            m_file.startWriteBack();
            lock.lock();
            m_full = false;
            m_idle.notify_one();
        }
    }

    AtomicFile& m_file;
    ByteOut m_buffer;
    bool m_full = false;
    bool m_stop = false;
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::condition_variable m_idle;
    std::thread m_thread;
};

bool isAscii(QByteArrayView bytes) {
    const char* p = bytes.data();
    qsizetype n = bytes.size();
    quint64 bits = 0;
    for (; n >= 8; p += 8, n -= 8) {
        quint64 word;
        std::memcpy(&word, p, sizeof word);
        bits |= word;
    }
    for (; n > 0; ++p, --n) {
        bits |= static_cast<uchar>(*p);
    }
    return (bits & 0x8080808080808080ULL) == 0;
}

// One row's values as UTF-8, straight from the table. Bytes that are no valid UTF-8 are taken
// as the text decoder reads them (each bad sequence a replacement character), so the file holds
// what the program shows of them.
class RowBytes {
public:
    void read(const Query& query, int columns) {
        m_total = 0;
        for (int c = 0; c < columns; ++c) {
            QByteArrayView value = query.fieldBytes(c);
            if (!isAscii(value) && !value.isValidUtf8()) {
                m_repaired[c] = utf8Text(value).toUtf8();
                value = m_repaired[c];
            }
            m_values[c] = value;
            m_total += value.size();
        }
    }
    QByteArrayView operator[](int column) const { return m_values[column]; }
    qsizetype total() const { return m_total; }

private:
    std::array<QByteArrayView, Col::Count> m_values;
    std::array<QByteArray, Col::Count> m_repaired;
    qsizetype m_total = 0;
};

using ByteSet = std::array<bool, 256>;

constexpr ByteSet byteSet(std::string_view members, bool controls = false) {
    ByteSet set{};
    for (int b = 0; b < 0x20; ++b) {
        set[b] = controls;
    }
    for (const char c : members) {
        set[static_cast<uchar>(c)] = true;
    }
    return set;
}

// Copies the bytes up to the first one of the set, and returns where it stands (end when none).
const char* copyUntil(ByteOut& out, const char* p, const char* end, const ByteSet& set) {
    const char* run = p;
    while (p < end && !set[static_cast<uchar>(*p)]) {
        ++p;
    }
    out.put(run, p - run);
    return p;
}

// A field of the text format as textLine() writes it: every line break folded into one
// character. True when the format cannot carry the value (see fieldsNotKept()).
bool appendTextField(ByteOut& out, QByteArrayView value, bool notes) {
    static constexpr ByteSet special = byteSet("\r\n|~");
    const char fold = notes ? '~' : ' ';
    bool lost = false;
    const char* p = value.data();
    const char* const end = p + value.size();
    while ((p = copyUntil(out, p, end, special)) < end) {
        const char c = *p++;
        if (c == '\r' || c == '\n') {
            const bool pair = c == '\r' && p < end && *p == '\n';
            p += pair ? 1 : 0;
            lost = lost || !notes || !pair; // only CR LF comes back from "~"
            out.put(fold);
        } else {
            lost = lost || c == '|' || notes; // a "~" of the notes' own comes back as a line break
            out.put(c);
        }
    }
    return lost;
}

// A CSV field as csvField() writes it.
void appendCsvField(ByteOut& out, QByteArrayView value) {
    static constexpr ByteSet quote = byteSet("\"");
    const char* p = value.data();
    const char* const end = p + value.size();
    out.put('"');
    while ((p = copyUntil(out, p, end, quote)) < end) {
        out.put("\"\"", 2);
        ++p;
    }
    out.put('"');
}

// The pieces of one value element as XmlLayout::valueElement() lays them out: the text between
// open and close, each line break of the value as lineBreak.
struct XmlElement {
    Piece empty;
    Piece open;
    Piece lineBreak;
    Piece close;
};

XmlElement xmlElement(int level, const QString& name) {
    QString empty;
    XmlLayout::valueElement(empty, level, name, u"");
    QString one;
    XmlLayout::valueElement(one, level, name, u"x");
    QString two;
    XmlLayout::valueElement(two, level, name, u"x\r\nx");
    QString end;
    XmlLayout::endTag(end, level, name);
    const QByteArray close = QByteArrayLiteral("\r\n") + end.toUtf8();
    const QByteArray open = one.toUtf8().first(one.size() - close.size() - 1);
    const QByteArray lineBreak = two.toUtf8().sliced(open.size() + 1, two.size() - open.size() - close.size() - 2);
    return {Piece(empty.toUtf8()), Piece(open), Piece(lineBreak), Piece(close)};
}

// A value's lines as XmlLayout::valueElement() escapes them. True when the value holds a
// character no XML file can (written as U+FFFD).
bool appendXmlText(ByteOut& out, QByteArrayView value, const Piece& lineBreak) {
    // Controls but the tab, the markup characters, and the first byte of U+FFFE and U+FFFF.
    static constexpr ByteSet special = [] {
        ByteSet set = byteSet("&<>\xEF", true);
        set['\t'] = false;
        return set;
    }();
    bool lost = false;
    const char* p = value.data();
    const char* const end = p + value.size();
    while ((p = copyUntil(out, p, end, special)) < end) {
        const char c = *p++;
        switch (c) {
        case '&':
            out.put("&amp;", 5);
            break;
        case '<':
            out.put("&lt;", 4);
            break;
        case '>':
            out.put("&gt;", 4);
            break;
        case '\r':
            if (p < end && *p == '\n') {
                ++p;
                out.put(lineBreak);
            } else {
                out.put("&#13;", 5);
            }
            break;
        case '\n':
            out.put("&#10;", 5);
            break;
        case '\xEF':
            if (end - p >= 2 && p[0] == '\xBF' && (p[1] == '\xBE' || p[1] == '\xBF')) {
                p += 2;
                out.put("\xEF\xBF\xBD", 3);
                lost = true;
            } else {
                out.put(c);
            }
            break;
        default:
            out.put("\xEF\xBF\xBD", 3);
            lost = true;
            break;
        }
    }
    return lost;
}

// How one format lays out the table, and what it does without a record.
class Layout {
public:
    explicit Layout(ExportFormat format) : m_format(format) {
        if (format != ExportFormat::Xml) {
            return;
        }
        QString head = XmlLayout::declaration();
        XmlLayout::startTag(head, 0, xmlDocumentName);
        m_head = head.toUtf8();
        QString tail;
        XmlLayout::endTag(tail, 0, xmlDocumentName);
        m_tail = tail.toUtf8();
        QString item;
        XmlLayout::startTag(item, 1, xmlItemName);
        m_itemOpen = Piece(item.toUtf8());
        item.clear();
        XmlLayout::endTag(item, 1, xmlItemName);
        m_itemClose = Piece(item.toUtf8());
        m_fixed = m_itemOpen.size() + m_itemClose.size();
        for (int c = 0; c < Col::Count; ++c) {
            m_elements[c] = xmlElement(2, columnNames()[c]);
            m_fixed += std::max(m_elements[c].empty.size(), m_elements[c].open.size() + m_elements[c].close.size());
        }
    }

    int columns() const { return m_format == ExportFormat::Xml ? Col::Count : Col::TextColumns; }
    QByteArrayView head() const { return m_head; }
    QByteArrayView tail() const { return m_tail; }

    // Appends one record with its line end; returns a bit per field the format cannot carry.
    quint32 append(ByteOut& out, const RowBytes& row) const {
        quint32 lost = 0;
        switch (m_format) {
        case ExportFormat::Text:
            out.reserve(row.total() + Col::TextColumns + 2);
            for (int k = 0; k < Col::TextColumns; ++k) {
                lost |= quint32(appendTextField(out, row[k], k == Col::Notes)) << k;
                out.put('|');
            }
            break;
        case ExportFormat::Csv:
            out.reserve(2 * row.total() + 3 * Col::TextColumns + 2);
            for (int k = 0; k < Col::TextColumns; ++k) {
                if (k > 0) {
                    out.put(',');
                }
                appendCsvField(out, row[k]);
            }
            break;
        case ExportFormat::Xml:
            // No byte grows to more than five ("&amp;", "&#13;"), nor a line break to more than four.
            out.reserve(5 * row.total() + m_fixed);
            out.put(m_itemOpen);
            for (int c = 0; c < Col::Count; ++c) {
                const XmlElement& e = m_elements[c];
                if (row[c].isEmpty()) {
                    out.put(e.empty);
                    continue;
                }
                out.put(e.open);
                const bool unkept = appendXmlText(out, row[c], e.lineBreak);
                lost |= quint32(unkept && c < Col::TextColumns) << c;
                out.put(e.close);
            }
            out.put(m_itemClose);
            return lost;
        }
        out.put("\r\n", 2);
        return lost;
    }

private:
    ExportFormat m_format;
    QByteArray m_head;
    QByteArray m_tail;
    Piece m_itemOpen;
    Piece m_itemClose;
    std::array<XmlElement, Col::Count> m_elements;
    qsizetype m_fixed = 0;
};

struct Messages {
    QString kind;        // in "Cannot create the %1 export file."
    QString queryFailed; // when the table cannot be read
};

Messages messagesFor(ExportFormat format) {
    if (format == ExportFormat::Xml) {
        return {QStringLiteral("xml"), QStringLiteral("The database query has failed to retrieve any data")};
    }
    const QString queryFailed = QStringLiteral("Cannot retrieve data, database error.");
    return {format == ExportFormat::Csv ? QStringLiteral("csv") : QStringLiteral("text"), queryFailed};
}

QString extensionFor(ExportFormat format) {
    switch (format) {
    case ExportFormat::Csv:
        return QStringLiteral("csv");
    case ExportFormat::Xml:
        return QStringLiteral("xml");
    case ExportFormat::Text:
        break;
    }
    return QStringLiteral("txt");
}

ExportLoss lossOf(int records, quint32 fields) {
    ExportLoss loss;
    loss.records = records;
    for (int k = 0; k < Col::TextColumns; ++k) {
        if (fields & (quint32(1) << k)) {
            loss.fields << columnNames()[k];
        }
    }
    return loss;
}

} // namespace

QString ExportStep::heldSiteName() const {
    const QString siteName = utf8Text(m_siteName);
    return m_csv ? csvField(siteName) + QLatin1Char(',') : siteName;
}

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
                         const ExportProgress& progress, const ExportGoAhead& goAhead) {
    ExportResult result;
    result.path = withExtension(chosenPath, extensionFor(format));
    const Messages messages = messagesFor(format);
    const Layout layout(format);
    // The line formats write a file for an empty table, made before the table is read; the XML
    // document begins with the first record, and an empty table writes none.
    const bool fileForEmptyTable = format != ExportFormat::Xml;
    std::unique_ptr<AtomicFile> file;
    std::optional<BackgroundWriter> writer;
    const auto openFile = [&] {
        file = std::make_unique<AtomicFile>(result.path);
        if (!file->open()) {
            result.error = QStringLiteral("Cannot create the %1 export file.").arg(messages.kind) + reason(*file);
            return false;
        }
        writer.emplace(*file);
        return true;
    };
    if (fileForEmptyTable && !openFile()) {
        return result;
    }
    Query query(db, selectAll);
    if (!query.isValid()) {
        if (file) {
            file->cancel();
        }
        result.error = messages.queryFailed;
        return result;
    }
    ByteOut out;
    out.reserve(chunkSize + chunkSize / 4);
    out.put(layout.head());
    RowBytes row;
    QByteArray lastSiteName; // the views of a row end with the next step
    int lostRecords = 0;
    quint32 lostFields = 0;
    while (query.next()) {
        if (!file && !openFile()) {
            return result;
        }
        row.read(query, layout.columns());
        const quint32 lost = layout.append(out, row);
        lostRecords += lost != 0 ? 1 : 0;
        lostFields |= lost;
        ++result.count;
        if (progress) {
            progress(ExportStep(row[Col::SiteName], format == ExportFormat::Csv, result.count));
        }
        if (out.size() >= chunkSize) {
            writer->hand(out);
            out.reserve(chunkSize + chunkSize / 4);
        }
        lastSiteName.resize(0); // keeps its capacity
        lastSiteName.append(row[Col::SiteName]);
    }
    if (result.count > 0) {
        result.lastSiteName = ExportStep(lastSiteName, format == ExportFormat::Csv, result.count).heldSiteName();
    }
    if (writer) {
        writer->finish();
    }
    if (query.failed()) {
        if (file) {
            file->cancel();
        }
        result.error = messages.queryFailed;
        return result;
    }
    if (!file) {
        return result;
    }
    out.reserve(layout.tail().size());
    out.put(layout.tail());
    file->write(out.view());
    result.loss = lossOf(lostRecords, lostFields);
    if (goAhead && !goAhead(result.loss)) {
        file->cancel();
        return result;
    }
    if (!file->commit()) {
        result.error = QStringLiteral("Cannot write the %1 export file.").arg(messages.kind) + reason(*file);
        return result;
    }
    result.written = true;
    return result;
}

} // namespace quillbox
