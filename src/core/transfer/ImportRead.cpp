#include "transfer/ImportRead.h"

#include "settings/ProgramSettings.h"
#include "transfer/Bookmarks.h"
#include "transfer/CsvFormat.h"
#include "transfer/ImportText.h"
#include "transfer/TextFormat.h"
#include "transfer/XmlImport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace quillbox {

QString notRegularFileMessage(const QString& path) {
    return QStringLiteral("%1 is not a regular file").arg(QDir::toNativeSeparators(path));
}

std::shared_ptr<QFile> openImportSource(const QString& path, int waitMs, bool& timedOut) {
    timedOut = false;
    auto file = std::make_shared<QFile>(path);
    if (path == standardInputName) {
        return file->open(stdin, QIODevice::ReadOnly) ? file : nullptr;
    }
    const QFileInfo info(path);
    if (!info.exists() || info.isFile() || info.isDir()) {
        return file->open(QIODevice::ReadOnly) ? file : nullptr;
    }
    // The opening may block: done in a thread of its own, which keeps the file if it is given up.
    struct Opening {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        bool opened = false;
    };
    auto opening = std::make_shared<Opening>();
    std::thread([file, opening] {
        const bool opened = file->open(QIODevice::ReadOnly);
        const std::lock_guard<std::mutex> lock(opening->mutex);
        opening->finished = true;
        opening->opened = opened;
        opening->done.notify_all();
    }).detach();
    std::unique_lock<std::mutex> lock(opening->mutex);
    if (!opening->done.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return opening->finished; })) {
        timedOut = true;
        return nullptr;
    }
    return opening->opened ? file : nullptr;
}

namespace {

// The first line of a head of text, with how often each separator stands in it.
struct FirstLine {
    qsizetype bars = 0, commas = 0, semicolons = 0, tabs = 0;
};

FirstLine countSeparators(QStringView text) {
    FirstLine line;
    for (const QChar c : text) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            break;
        }
        line.bars += c == QLatin1Char('|');
        line.commas += c == QLatin1Char(',');
        line.semicolons += c == QLatin1Char(';');
        line.tabs += c == QLatin1Char('\t');
    }
    return line;
}

} // namespace

QString importFormatName(ImportFormat format) {
    switch (format) {
    case ImportFormat::Text:
        return QStringLiteral("bar-separated text");
    case ImportFormat::Csv:
        return QStringLiteral("CSV");
    case ImportFormat::Xml:
        return QStringLiteral("XML");
    case ImportFormat::Bookmarks:
        return QStringLiteral("a bookmark file");
    }
    return QString();
}

QString formatFoundMessage(ImportFormat found, ImportFormat named) {
    return QStringLiteral("The file holds %1, not %2: it is read as %1.")
        .arg(importFormatName(found), importFormatName(named));
}

ImportFormat detectImportFormat(QByteArrayView head, ImportFormat named) {
    QString text;
    if (head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(head.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        text = utf16.decode(head.sliced(2));
    } else {
        text = QString::fromLatin1(head.startsWith("\xEF\xBB\xBF") ? head.sliced(3) : head); // markup is ASCII
    }
    const QStringView start = QStringView(text).trimmed();
    if (start.startsWith(QLatin1String("<!DOCTYPE NETSCAPE-Bookmark"), Qt::CaseInsensitive) ||
        start.startsWith(QLatin1String("<!DOCTYPE html"), Qt::CaseInsensitive) ||
        start.startsWith(QLatin1String("<html"), Qt::CaseInsensitive)) {
        return ImportFormat::Bookmarks;
    }
    if (start.startsWith(QLatin1String("<?xml")) ||
        (start.size() > 1 && start[0] == QLatin1Char('<') && (start[1].isLetter() || start[1] == QLatin1Char('_')))) {
        // A bookmark file without its DOCTYPE still has its links.
        const bool links = start.contains(QLatin1String("<DT>"), Qt::CaseInsensitive) &&
                           start.contains(QLatin1String("HREF"), Qt::CaseInsensitive);
        return links && !start.startsWith(QLatin1String("<?xml")) ? ImportFormat::Bookmarks : ImportFormat::Xml;
    }
    if (start.isEmpty()) {
        return named;
    }
    const FirstLine line = countSeparators(start);
    const qsizetype csv = std::max({line.commas, line.semicolons, line.tabs});
    if (line.bars > csv) {
        return ImportFormat::Text;
    }
    if (csv > 0 && (named != ImportFormat::Text || line.bars == 0)) {
        return ImportFormat::Csv;
    }
    return named;
}

ImportFormat detectImportFormat(QIODevice& file, ImportFormat named) {
    return detectImportFormat(file.peek(4096), named);
}

QString readImport(QIODevice& file, ImportFormat format, const QString& owner, ImportSink& sink,
                   const ImportOptions& options) {
    if (format == ImportFormat::Xml) {
        const XmlReadResult result = readXmlRecords(file, sink);
        return result.wellFormed ? QString() : xmlNotWellFormedMessage(result);
    }
    DeviceLines lines(file, format == ImportFormat::Bookmarks ? DeviceLines::Markup::Html : DeviceLines::Markup::Plain,
                      options.encoding);
    switch (format) {
    case ImportFormat::Csv:
        readCsvRecords(lines, sink, owner, options.csvLayout, options.csvChoice);
        break;
    case ImportFormat::Bookmarks:
        readBookmarkRecords(lines, owner, sink);
        break;
    default:
        readTextRecords(lines, sink);
        break;
    }
    return lines.failure();
}

qint64 WatchedDevice::readData(char* data, qint64 max) {
    if (stopped()) {
        setErrorString(readingStoppedMessage);
        return -1;
    }
    const qint64 got = m_inner.read(data, max);
    if (got < 0) {
        setErrorString(m_inner.errorString());
        return -1;
    }
    m_read.fetch_add(got, std::memory_order_relaxed);
    return got;
}

CsvSample sampleCsvFile(QIODevice& file, QChar delimiter, const QString& encoding, int maxRows, QString& failure) {
    if (!file.seek(0)) {
        failure = file.errorString();
        return CsvSample();
    }
    DeviceLines lines(file, DeviceLines::Markup::Plain, encoding);
    CsvSample sample = sampleCsv(lines, delimiter, maxRows);
    failure = lines.failure();
    if (!file.seek(0) && failure.isEmpty()) {
        failure = file.errorString();
    }
    return sample;
}

namespace {
const QString csvColumnsGroup = QStringLiteral("CSV Columns");

// The file's first line as it stands, without its ending: what a kept choice of columns is found by.
QByteArray firstLineBytes(QIODevice& file) {
    QByteArray line = file.peek(64 * 1024);
    if (const qsizetype end = line.indexOf('\n'); end >= 0) {
        line.truncate(end);
    }
    if (line.endsWith('\r')) {
        line.chop(1);
    }
    return line;
}
} // namespace

CsvColumnsKnown knownCsvColumns(QIODevice& file, const QString& settingsFile, ImportOptions& options) {
    QString failure;
    CsvLayout kept;
    QString encoding;
    const QString text = readSetting(settingsFile, csvColumnsGroup, csvHeaderKey(firstLineBytes(file)));
    if (!text.isEmpty() && csvLayoutFromText(text, kept, encoding) && kept.header) {
        const CsvSample first = sampleCsvFile(file, kept.delimiter, encoding, 1, failure);
        if (failure.isEmpty() && !first.rows.isEmpty()) {
            kept.headers = first.rows.constFirst();
            options.csvLayout = kept;
            options.encoding = encoding;
            return {true, true};
        }
    }
    const CsvSample sample = sampleCsvFile(file, QChar(), QString(), 2, failure);
    if (!failure.isEmpty()) {
        // Text in another encoding is chosen in the step; a file of no text is refused by the reading.
        const bool text = failure != nulBytesMessage;
        return {!text, text};
    }
    const bool choosable = !(sample.layout.isValid() && sample.layout.own);
    return {!choosable || sample.rows.isEmpty() || sample.layout.isValid(), choosable};
}

Result keepCsvColumns(QIODevice& file, const QString& settingsFile, const ImportOptions& options) {
    const CsvLayout& layout = options.csvLayout;
    if (!layout.header || layout.headers.isEmpty()) {
        return Result(); // without a header there is nothing to know the next file by
    }
    return writeSetting(settingsFile, csvColumnsGroup, csvHeaderKey(firstLineBytes(file)),
                        csvLayoutText(layout, options.encoding));
}

} // namespace quillbox

namespace quillbox {

namespace {

// What the reading thread found, handed over in batches. A record comes as UTF-8, converted on
// the reading thread, so the storing thread only binds it.
struct ReadEvent {
    enum Kind { Record, Refused, Mapping } kind = Record;
    QByteArray bytes; // a record's values back to back
    std::array<uint32_t, Col::TextColumns> lengths{};
    qsizetype line = 0;
    QString reason;
    QStringList columns;
};

class Handover : public ImportSink {
public:
    explicit Handover(bool wantsValues) : m_wantsValues(wantsValues) {}

    // Reading thread.
    void record(const SiteRecord& values) override {
        ReadEvent event;
        if (wantsValues()) {
            qsizetype most = 0;
            for (int k = 0; k < Col::TextColumns; ++k) {
                most += m_encoder.requiredSpace(values[k].size());
            }
            event.bytes.resize(most);
            char* const begin = event.bytes.data();
            char* to = begin;
            for (int k = 0; k < Col::TextColumns; ++k) {
                char* const at = to;
                to = m_encoder.appendToBuffer(to, values[k]);
                event.lengths[static_cast<size_t>(k)] = static_cast<uint32_t>(to - at);
            }
            event.bytes.truncate(to - begin);
        }
        add(std::move(event));
    }
    void recordUtf8(const Utf8Record& values) override {
        ReadEvent event;
        if (wantsValues()) {
            for (size_t k = 0; k < values.size(); ++k) {
                event.bytes += values[k];
                event.lengths[k] = static_cast<uint32_t>(values[k].size());
            }
        }
        add(std::move(event));
    }
    void refused(qsizetype line, const QString& reason) override {
        ReadEvent event;
        event.kind = ReadEvent::Refused;
        event.line = line;
        event.reason = reason;
        add(std::move(event));
    }
    void mapping(const QStringList& columns) override {
        ReadEvent event;
        event.kind = ReadEvent::Mapping;
        event.columns = columns;
        add(std::move(event));
    }
    bool wantsValues() const override { return m_wantsValues.load(std::memory_order_relaxed); }
    void finish() {
        flush();
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_done = true;
        m_changed.notify_all();
    }

    // Calling thread: the next batch, or false when the reader is done and all was taken.
    bool take(std::vector<ReadEvent>& batch) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_ready.empty() || m_done; });
        if (m_ready.empty()) {
            return false;
        }
        batch = std::move(m_ready.front());
        m_ready.pop_front();
        m_changed.notify_all();
        return true;
    }
    void setWantsValues(bool wanted) { m_wantsValues.store(wanted, std::memory_order_relaxed); }

private:
    static constexpr size_t batchSize = 256;
    static constexpr size_t batchesAhead = 16; // bounds the memory a fast reader can take

    void add(ReadEvent event) {
        m_filling.push_back(std::move(event));
        if (m_filling.size() >= batchSize) {
            flush();
        }
    }
    void flush() {
        if (m_filling.empty()) {
            return;
        }
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_ready.size() < batchesAhead; });
        m_ready.push_back(std::move(m_filling));
        m_filling = {};
        m_changed.notify_all();
    }

    QStringEncoder m_encoder{QStringEncoder::Utf8, QStringEncoder::Flag::Stateless};
    std::atomic<bool> m_wantsValues;
    std::vector<ReadEvent> m_filling;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::vector<ReadEvent>> m_ready;
    bool m_done = false;
};

} // namespace

QString readImportAlongside(QIODevice& file, ImportFormat format, const QString& owner, ImportSink& sink,
                            const ImportOptions& options) {
    Handover handover(sink.wantsValues());
    QString refusal;
    std::thread reader([&] {
        refusal = readImport(file, format, owner, handover, options);
        handover.finish();
    });
    std::vector<ReadEvent> batch;
    Utf8Record values;
    while (handover.take(batch)) {
        for (ReadEvent& event : batch) {
            switch (event.kind) {
            case ReadEvent::Record: {
                const char* at = event.bytes.constData();
                for (size_t k = 0; k < values.size(); ++k) {
                    values[k] = QByteArrayView(at, event.lengths[k]);
                    at += event.lengths[k];
                }
                sink.recordUtf8(values);
                break;
            }
            case ReadEvent::Refused:
                sink.refused(event.line, event.reason);
                break;
            case ReadEvent::Mapping:
                sink.mapping(event.columns);
                break;
            }
        }
        handover.setWantsValues(sink.wantsValues());
    }
    reader.join();
    return refusal;
}

QString replayImport(const ImportPreview& preview, QIODevice& file, ImportFormat format, const QString& owner,
                     ImportSink& sink, bool alongside, const ImportOptions& options) {
    if (preview.keptAll()) {
        return preview.replay(sink);
    }
    if (file.isSequential()) {
        return streamTooLongMessage; // a stream cannot be read again
    }
    if (!file.seek(0)) {
        return file.errorString();
    }
    // What the second reading finds is counted against the preview, which the user agreed to.
    struct Counted : ForwardingSink {
        using ForwardingSink::ForwardingSink;
        qsizetype records = 0;
        qsizetype refusals = 0;
        void record(const SiteRecord& values) override {
            ++records;
            ForwardingSink::record(values);
        }
        void recordUtf8(const Utf8Record& values) override {
            ++records;
            ForwardingSink::recordUtf8(values);
        }
        void refused(qsizetype line, const QString& reason) override {
            ++refusals;
            ForwardingSink::refused(line, reason);
        }
    } counted(sink);
    const QString refusal = alongside ? readImportAlongside(file, format, owner, counted, options)
                                      : readImport(file, format, owner, counted, options);
    if (refusal.isEmpty() && (counted.records != preview.recordCount() || counted.refusals != preview.refusedCount())) {
        return changedSincePreviewMessage;
    }
    return refusal;
}

} // namespace quillbox
