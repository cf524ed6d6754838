#include "transfer/XmlImport.h"

#include "platform/FileSystem.h"
#include "transfer/ImportPreview.h"
#include "transfer/ImportRead.h"
#include "transfer/ImportText.h"
#include "transfer/XmlLayout.h"

#include <QBuffer>
#include <QHash>
#include <QIODevice>
#include <QStringDecoder>

#include <expat.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace quillbox {

namespace {

constexpr size_t maxDepth = 1000;

// One open element. Frames are kept when elements close, so their buffers are reused.
struct Frame {
    std::string text; // character data directly inside, as UTF-8
    qsizetype line = 0;
    // The item made of this element's children so far, as UTF-8; emptied, not released, so
    // the buffers serve the next item.
    std::array<std::string, Col::TextColumns> values;
    bool holdsValues = false; // some of values set since they were last emptied
    QByteArray unknownName;
    // An item: a record element, a column or an unknown element without children of its own
    // stands among its children. Its record is made at its end tag, from all of them.
    bool item = false;
    bool hasChildren = false;

    bool clean() const { return !item && !holdsValues && unknownName.isEmpty(); }
};

struct Reader {
    explicit Reader(ImportSink& to) : sink(to) {}

    ImportSink& sink;
    XML_Parser parser = nullptr;
    std::vector<Frame> frames;
    size_t depth = 0; // frames in use
    bool tooDeep = false;

    // What tells whether the file can be cut in two (see readXmlRecords): the names of the
    // document element and of the first item, a document type declaration (its entities would
    // hold on both sides), a version or encoding other than XML 1.0 in UTF-8.
    QByteArray rootName;
    QByteArray itemName;
    bool sawDoctype = false;
    bool otherDeclaration = false;
    // Where the file is cut, and whether an item's end tag ended exactly there (atCut), on line cutLine.
    qint64 cutAt = -1;
    bool atCut = false;
    qsizetype cutLine = 0;

    // The column an element names, or -1. Files name the columns in table order, so the one
    // after the last found is tried first.
    int columnOf(const char* name) {
        static const std::array<QByteArray, Col::TextColumns> names = [] {
            std::array<QByteArray, Col::TextColumns> list;
            for (int k = 0; k < Col::TextColumns; ++k) {
                list[static_cast<size_t>(k)] = columnNames()[k].toUtf8();
            }
            return list;
        }();
        const int next = lastColumn + 1;
        if (next < Col::TextColumns && qstrcmp(name, names[static_cast<size_t>(next)].constData()) == 0) {
            return lastColumn = next;
        }
        static const QHash<QByteArray, int> columns = [] {
            QHash<QByteArray, int> map;
            for (int k = 0; k < Col::TextColumns; ++k) {
                map.insert(names[static_cast<size_t>(k)], k);
            }
            return map;
        }();
        const QByteArray key = QByteArray::fromRawData(name, static_cast<qsizetype>(qstrlen(name)));
        int k = columns.value(key, -1);
        // The database takes column names in any case, so earlier files may have used any.
        k = k >= 0 ? k : columns.value(key.toLower(), -1);
        if (k >= 0) {
            lastColumn = k;
        }
        return k;
    }
    int lastColumn = -1;

    // Whether the sink still takes the values; when it only counts, text is not even kept.
    bool values = true;

    static void empty(Frame& frame) {
        if (frame.holdsValues) {
            for (std::string& value : frame.values) {
                value.clear(); // keeps its buffer
            }
            frame.holdsValues = false;
        }
    }

    void itemEnds(Frame& parent) {
        if (!parent.unknownName.isEmpty()) {
            // The database's own words for it, as when the statement named the column.
            sink.refused(parent.line,
                         QStringLiteral("table quillbox has no column named ") + QString::fromUtf8(parent.unknownName));
        } else {
            Utf8Record record;
            for (size_t k = 0; k < record.size(); ++k) {
                record[k] = QByteArrayView(parent.values[k].data(), static_cast<qsizetype>(parent.values[k].size()));
            }
            sink.recordUtf8(record);
            values = sink.wantsValues();
        }
        empty(parent);
        parent.unknownName.clear();
        parent.item = false;
    }
};

Reader& reader(void* data) {
    return *static_cast<Reader*>(data);
}

void XMLCALL onStart(void* data, const XML_Char* name, const XML_Char**) {
    Reader& r = reader(data);
    if (r.depth == 0 && r.rootName.isEmpty()) {
        r.rootName = name;
    } else if (r.depth == 1 && r.itemName.isEmpty()) {
        r.itemName = name;
    }
    if (r.depth > 0) {
        Frame& parent = r.frames[r.depth - 1];
        if (!parent.hasChildren) {
            parent.text.clear(); // an element with children holds no value
            parent.hasChildren = true;
            if (parent.line == 0) {
                parent.line = static_cast<qsizetype>(XML_GetCurrentLineNumber(r.parser)); // a deeper item's
            }
        }
    }
    // Each open element holds a record's worth of fields; a hostile file nesting without end
    // would otherwise take memory in proportion to its length.
    if (r.depth >= maxDepth) {
        r.tooDeep = true;
        XML_StopParser(r.parser, XML_FALSE);
        return;
    }
    if (r.depth == r.frames.size()) {
        r.frames.emplace_back();
    }
    Frame& frame = r.frames[r.depth++];
    frame.text.clear();
    // Only an item's line is ever reported (when it is refused).
    frame.line = r.depth <= 2 ? static_cast<qsizetype>(XML_GetCurrentLineNumber(r.parser)) : 0;
    Reader::empty(frame);
    frame.unknownName.clear();
    frame.item = false;
    frame.hasChildren = false;
}

void XMLCALL onEnd(void* data, const XML_Char* name) {
    Reader& r = reader(data);
    if (r.depth == 0 || r.tooDeep) {
        return;
    }
    const int level = static_cast<int>(--r.depth);
    if (r.depth == 1 && r.cutAt >= 0) {
        r.atCut = XML_GetCurrentByteIndex(r.parser) + XML_GetCurrentByteCount(r.parser) == r.cutAt;
        r.cutLine = static_cast<qsizetype>(XML_GetCurrentLineNumber(r.parser));
    }
    Frame& done = r.frames[r.depth];
    if (done.item) {
        r.itemEnds(done);
        r.lastColumn = -1;
    }
    if (r.depth == 0) {
        return;
    }
    Frame& parent = r.frames[r.depth - 1];
    if (done.hasChildren) {
        return; // an item, or what holds items: no value of its parent's
    }
    parent.item = true; // the record element too, wherever it stands: the item ends at its end tag
    if (qstrcmp(name, "record") == 0) {
        return;
    }
    const int k = r.columnOf(name);
    if (k < 0) {
        if (parent.unknownName.isEmpty()) {
            parent.unknownName = name;
        }
        return;
    }
    if (r.values) {
        XmlLayout::readValue(done.text, level, parent.values[static_cast<size_t>(k)]);
        parent.holdsValues = true;
    }
}

void XMLCALL onCharacters(void* data, const XML_Char* s, int len) {
    Reader& r = reader(data);
    if (r.depth == 0 || !r.values) {
        return;
    }
    Frame& frame = r.frames[r.depth - 1];
    if (frame.hasChildren) {
        return; // text beside child elements is no value (the layout between them)
    }
    std::string& text = frame.text;
    // The parser hands every line break of the file over as one LF, and a character reference
    // as its character; only the length of the markup behind it tells them apart.
    if (len == 1 && s[0] == '\n' && XML_GetCurrentByteCount(r.parser) <= 2) {
        text.append("\r\n", 2);
    } else {
        text.append(s, static_cast<size_t>(len));
    }
}

// Single-byte encodings the parser does not know itself (windows-1252 and the like), mapped
// through the toolkit's converters.
int XMLCALL onUnknownEncoding(void*, const XML_Char* name, XML_Encoding* info) {
    if (!QStringDecoder(name).isValid()) {
        return XML_STATUS_ERROR;
    }
    for (int b = 0; b < 256; ++b) {
        QStringDecoder one(name);
        const char byte = static_cast<char>(b);
        const QString c = one.decode(QByteArrayView(&byte, 1));
        info->map[b] = (c.size() == 1 && !one.hasError()) ? c[0].unicode() : -1;
    }
    info->data = nullptr;
    info->convert = nullptr;
    info->release = nullptr;
    return XML_STATUS_OK;
}

void XMLCALL onDeclaration(void* data, const XML_Char* version, const XML_Char* encoding, int) {
    reader(data).otherDeclaration =
        (version && qstrcmp(version, "1.0") != 0) || (encoding && qstricmp(encoding, "UTF-8") != 0);
}

void XMLCALL onDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    reader(data).sawDoctype = true;
}

// The encoding an XML declaration at the very start names, or nothing (then the parser decides,
// from a byte-order mark or the first bytes).
QByteArray declaredEncoding(QByteArrayView head) {
    if (!head.startsWith("<?xml")) {
        return QByteArray();
    }
    const qsizetype close = head.indexOf("?>");
    const QByteArrayView declaration = head.first(close < 0 ? std::min<qsizetype>(head.size(), 256) : close);
    const qsizetype at = declaration.indexOf("encoding");
    if (at < 0) {
        return QByteArray();
    }
    qsizetype i = at + 8;
    while (i < declaration.size() && (declaration[i] == ' ' || declaration[i] == '=' || declaration[i] == '\t' ||
                                      declaration[i] == '\r' || declaration[i] == '\n')) {
        ++i;
    }
    if (i >= declaration.size() || (declaration[i] != '"' && declaration[i] != '\'')) {
        return QByteArray();
    }
    const qsizetype end = declaration.indexOf(declaration[i], i + 1);
    return end < 0 ? QByteArray() : declaration.sliced(i + 1, end - i - 1).toByteArray();
}

// The encodings the parser reads itself.
bool parserKnows(const QByteArray& name) {
    for (const char* known : {"UTF-8", "UTF-16", "UTF-16LE", "UTF-16BE", "ISO-8859-1", "US-ASCII"}) {
        if (qstricmp(name.constData(), known) == 0) {
            return true;
        }
    }
    return false;
}

constexpr qsizetype piece = 1 << 20;
// Files shorter than cutFrom are read by one parser, and so are files longer than cutTo unless
// the sink gives a folder to spill into: the second half's reader would fill what it may keep in
// memory (as ImportPreview::defaultKeepLimit bounds it) before it is done, and all it read would
// be lost.
constexpr qint64 cutFrom = qint64{4} << 20;
constexpr qint64 cutTo = qint64{256} << 20;
// How far past the middle an item's end tag is looked for.
constexpr qint64 cutSearch = qint64{16} << 20;

// A parser over r. No handler for external entities, and parameter entities never parsed:
// nothing outside the file is ever opened. Expat's own amplification limit ends entity bombs as
// errors.
bool startParser(Reader& r) {
    r.parser = XML_ParserCreate(nullptr);
    if (!r.parser) {
        return false;
    }
    r.values = r.sink.wantsValues();
    XML_SetParamEntityParsing(r.parser, XML_PARAM_ENTITY_PARSING_NEVER);
    XML_SetUserData(r.parser, &r);
    XML_SetElementHandler(r.parser, onStart, onEnd);
    XML_SetCharacterDataHandler(r.parser, onCharacters);
    XML_SetUnknownEncodingHandler(r.parser, onUnknownEncoding, nullptr);
    XML_SetXmlDeclHandler(r.parser, onDeclaration);
    XML_SetStartDoctypeDeclHandler(r.parser, onDoctype);
    return true;
}

// The device's bytes read at any offset without moving it, from another thread: a file through
// its descriptor, a buffer from its memory.
// The second half of a file cut after an item's end tag, read in a thread of its own as if the
// document element had just begun, into a preview that keeps all it reads; handed on only when
// the first half's parser, reaching the cut, stands where this one began. The document element
// is taken to have had children already (the first half's items).
class SecondHalf {
public:
    SecondHalf(const BytesAtOffsets& bytes, WatchedDevice* watched, qint64 at, const QByteArray& rootName,
               qsizetype keepLimit, const QString& spillFolder)
        : m_bytes(bytes), m_watched(watched), m_at(at), m_prefix("<" + rootName + ">"), m_kept(keepLimit, spillFolder) {
        if (startParser(m_reader)) {
            m_thread = std::thread([this] { run(); });
        }
    }
    ~SecondHalf() {
        m_stop = true;
        finish();
        XML_ParserFree(m_reader.parser);
    }
    SecondHalf(const SecondHalf&) = delete;
    SecondHalf& operator=(const SecondHalf&) = delete;

    bool started() const { return m_reader.parser != nullptr; }
    qint64 at() const { return m_at; }
    // Waits for the reading; false when it was not read whole (too long to keep, or unreadable).
    bool finish() {
        if (m_thread.joinable()) {
            m_thread.join();
        }
        return m_whole;
    }
    // Hands what was read over to sink as the first half's reader would have, lines counted
    // from the cut's line on (see ImportSink::follow); returns why not all could be, or nothing.
    QString handOver(ImportSink& sink, qsizetype cutLine) { return sink.follow(std::move(m_kept), cutLine - 1); }
    // After finish(): whether the parser found the rest well-formed.
    bool ok() const { return m_ok; }
    const Reader& reader() const { return m_reader; }
    // Where the parser stopped, as a place in the file, and its line there.
    qint64 errorAt() const { return m_errorAt - m_prefix.size() + m_at; }
    qsizetype errorLine(qsizetype cutLine) const { return m_errorLine + cutLine - 1; }

private:
    void run() {
        m_ok = XML_Parse(m_reader.parser, m_prefix.constData(), static_cast<int>(m_prefix.size()), XML_FALSE) ==
               XML_STATUS_OK;
        if (m_ok) {
            m_reader.frames.front().hasChildren = true; // the first half's items
        }
        for (qint64 at = m_at; m_ok && !m_stop && m_kept.keptAll();) {
            // Read into the parser's own buffer, as the first half is.
            auto* buffer = static_cast<char*>(XML_GetBuffer(m_reader.parser, static_cast<int>(piece)));
            if (!buffer) {
                m_ok = false;
                break;
            }
            const qsizetype n = m_watched && m_watched->stopped() ? -1 : m_bytes.readAt(at, buffer, piece);
            if (n < 0) {
                return;
            }
            if (m_watched) {
                m_watched->countRead(n);
            }
            m_ok = XML_ParseBuffer(m_reader.parser, static_cast<int>(n), n == 0) == XML_STATUS_OK;
            at += n;
            if (n == 0) {
                m_whole = m_kept.keptAll();
                break;
            }
        }
        if (!m_ok) {
            m_whole = !m_stop && m_kept.keptAll();
            m_errorAt = XML_GetCurrentByteIndex(m_reader.parser);
            m_errorLine = static_cast<qsizetype>(XML_GetCurrentLineNumber(m_reader.parser));
        }
    }

    const BytesAtOffsets& m_bytes;
    WatchedDevice* const m_watched; // counts what this half reads, and stops it
    const qint64 m_at;
    const QByteArray m_prefix;
    ImportPreview m_kept;
    Reader m_reader{m_kept};
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    bool m_ok = false;
    bool m_whole = false;
    qint64 m_errorAt = 0;
    qsizetype m_errorLine = 0;
};

// Where to cut: just after the first end tag of an item at or after from, or -1.
qint64 findCut(const BytesAtOffsets& bytes, qint64 from, const QByteArray& itemName) {
    const QByteArray tag = "</" + itemName + ">";
    QByteArray window(piece, Qt::Uninitialized);
    for (qint64 at = from; at < from + cutSearch;) {
        const qsizetype n = bytes.readAt(at, window.data(), piece);
        if (n < tag.size()) {
            return -1;
        }
        const qsizetype found = QByteArrayView(window.constData(), n).indexOf(tag);
        if (found >= 0) {
            return at + found + tag.size();
        }
        at += n - tag.size() + 1;
    }
    return -1;
}

// The second half of the file read so far by r, when the file can be cut: the first half's
// parser has seen the document element and an item, no document type, UTF-8 XML 1.0.
std::unique_ptr<SecondHalf> cutInTwo(const Reader& r, const BytesAtOffsets& bytes, WatchedDevice* watched,
                                     const XmlCut& cut, qint64 near, qint64 read) {
    char head[4] = {};
    const qsizetype n = bytes.readAt(0, head, 4);
    const bool utf8Start = (n >= 1 && head[0] == '<') || (n >= 4 && QByteArrayView(head, 4) == "\xEF\xBB\xBF<");
    if (!utf8Start || r.rootName.isEmpty() || r.itemName.isEmpty() || r.sawDoctype || r.otherDeclaration ||
        r.depth == 0) {
        return nullptr;
    }
    const qint64 at = findCut(bytes, std::max(near, read), r.itemName);
    if (at <= read) {
        return nullptr;
    }
    auto second =
        std::make_unique<SecondHalf>(bytes, watched, at, r.rootName, cut.secondKeepLimit, r.sink.spillFolder());
    return second->started() ? std::move(second) : nullptr;
}

// What a parse that stopped at a place in the file, on a line, says.
XmlReadResult failure(QIODevice& device, XML_Error code, bool tooDeep, qint64 at, qsizetype line) {
    XmlReadResult result;
    result.wellFormed = false;
    result.line = line;
    if (code == XML_ERROR_INVALID_TOKEN && device.seek(at)) {
        // Bytes that are no UTF-8 where UTF-8 was due: the usual cause is a file saved in
        // another encoding without saying so.
        bool bad = false;
        if (validUtf8(device.read(4), bad) == 0 && bad) {
            result.notUtf8 = true;
            return result;
        }
    }
    result.error = tooDeep ? QStringLiteral("elements nested too deeply") : QString::fromUtf8(XML_ErrorString(code));
    return result;
}

} // namespace

// A long file is read by two parsers at once: the second from the end tag of an item in its
// middle to the end, the first up to there. That gives what one parser gives when the first
// parser, reaching the cut, is inside the document element only, just past that end tag (not in
// a comment or a CDATA section that holds it), and the document element holds no value, record
// or unknown element of its own so far: then nothing before the cut bears on what follows.
// Otherwise the first parser reads on alone.
XmlReadResult readXmlRecords(QIODevice& device, ImportSink& sink, const XmlCut& cut) {
    Reader r{sink};
    if (!startParser(r)) {
        XmlReadResult result;
        result.wellFormed = false;
        result.error = QStringLiteral("out of memory");
        return result;
    }
    // Read through a watched device, the second half is read from the file itself and counted there.
    auto* watched = dynamic_cast<WatchedDevice*>(&device);
    const BytesAtOffsets bytes(watched ? watched->inner() : device);
    const qint64 total = device.isSequential() ? -1 : device.size();
    const bool keepsAll = total <= cutTo || !sink.spillFolder().isEmpty();
    const qint64 near = cut.near >= 0 ? cut.near : (total >= cutFrom && keepsAll ? total / 2 : -1);
    bool mayCut = near >= 0 && device.pos() == 0 && bytes.valid();
    std::unique_ptr<SecondHalf> second;
    bool handedOver = false; // the second half was read whole and stands for all after the cut
    qint64 read = 0;
    bool ok = true;
    bool unreadable = false;
    std::optional<QStringDecoder> transcoder; // a declared encoding the parser does not know itself
    qsizetype transcodedLines = 0;
    QString declaredName;
    QString refusal;
    // Read through the toolkit's converter, and handed to the parser as UTF-8.
    if (const QByteArray declared = declaredEncoding(device.peek(512)); !declared.isEmpty() && !parserKnows(declared)) {
        transcoder.emplace(declared.constData()); // in place: see DeviceLines::start
        if (transcoder->isValid()) {
            declaredName = QString::fromLatin1(declared);
            XML_SetEncoding(r.parser, "UTF-8");
            mayCut = false;
        } else {
            refusal = unknownEncodingMessage(QString::fromLatin1(declared));
        }
    }
    QByteArray chunk;
    while (refusal.isEmpty()) {
        qint64 want = piece;
        if (mayCut) {
            want = std::min(want, cut.firstPiece);
        } else if (second) {
            want = std::min(want, second->at() - read);
        }
        // Read into the parser's own buffer (XML_Parse would copy each piece there), unless the
        // bytes are converted first.
        char* into = nullptr;
        if (transcoder) {
            chunk.resize(want); // the buffer of the last piece, read into again
            into = chunk.data();
        } else if (into = static_cast<char*>(XML_GetBuffer(r.parser, static_cast<int>(want))); !into) {
            ok = false;
            break;
        }
        const qint64 got = readImportPiece(device, into, want);
        if (got < 0) {
            unreadable = true;
            break;
        }
        const bool last = got == 0 || (!device.isSequential() && device.atEnd());
        if (transcoder) {
            chunk.resize(got);
            QString text = transcoder->decode(chunk);
            if (last) {
                text += transcoder->decode(QByteArrayView());
            }
            if (transcoder->hasError()) {
                const qsizetype bad = std::max<qsizetype>(0, firstSubstitute(text));
                refusal = notInEncodingMessage(transcodedLines + 1 + countLineBreaks(QStringView(text).first(bad)),
                                               declaredName);
                break;
            }
            transcodedLines += countLineBreaks(text);
            read += chunk.size();
            chunk = text.toUtf8();
            ok = XML_Parse(r.parser, chunk.constData(), static_cast<int>(chunk.size()), last) == XML_STATUS_OK;
            if (!ok || last) {
                break;
            }
            continue;
        }
        ok = XML_ParseBuffer(r.parser, static_cast<int>(got), last) == XML_STATUS_OK;
        read += got;
        if (!ok || last) {
            break;
        }
        if (mayCut && (!r.itemName.isEmpty() || read >= piece)) {
            mayCut = false;
            second = cutInTwo(r, bytes, watched, cut, near, read);
            r.cutAt = second ? second->at() : -1;
        } else if (second && read == second->at()) {
            handedOver = r.atCut && r.depth == 1 && r.frames.front().clean() && second->finish();
            if (handedOver) {
                break;
            }
            second.reset(); // the first parser reads on
            r.cutAt = -1;
        }
    }
    XmlReadResult result;
    if (unreadable || !refusal.isEmpty()) {
        second.reset();
        result.wellFormed = false;
        result.refusal =
            unreadable ? QStringLiteral("The file could not be read: %1").arg(device.errorString()) : refusal;
    } else if (!ok && transcoder) {
        // Bytes not valid in the declared encoding were refused above: this is the markup.
        result.wellFormed = false;
        result.error = r.tooDeep ? QStringLiteral("elements nested too deeply")
                                 : QString::fromUtf8(XML_ErrorString(XML_GetErrorCode(r.parser)));
        result.line = static_cast<qsizetype>(XML_GetCurrentLineNumber(r.parser));
    } else if (!ok) {
        second.reset();
        result = failure(device, XML_GetErrorCode(r.parser), r.tooDeep, XML_GetCurrentByteIndex(r.parser),
                         static_cast<qsizetype>(XML_GetCurrentLineNumber(r.parser)));
    } else if (handedOver) {
        if (const QString unreadable = second->handOver(sink, r.cutLine); !unreadable.isEmpty()) {
            result.wellFormed = false;
            result.refusal = unreadable;
        } else if (!second->ok()) {
            const XML_Parser parser = second->reader().parser;
            result = failure(device, XML_GetErrorCode(parser), second->reader().tooDeep, second->errorAt(),
                             second->errorLine(r.cutLine));
        }
        result.cutAt = second->at();
    }
    XML_ParserFree(r.parser);
    return result;
}

XmlReadResult readXmlRecords(const QByteArray& bytes, ImportSink& sink) {
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    return readXmlRecords(buffer, sink);
}

QString xmlNotWellFormedMessage(const XmlReadResult& result) {
    if (!result.refusal.isEmpty()) {
        return result.refusal;
    }
    if (result.notUtf8) {
        return notUtf8Message(result.line);
    }
    return QStringLiteral("The XML file is not well-formed: %1 at line %2. Nothing was imported.")
        .arg(result.error)
        .arg(result.line);
}

} // namespace quillbox
