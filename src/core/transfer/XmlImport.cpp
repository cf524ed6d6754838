#include "transfer/XmlImport.h"

#include "transfer/ImportText.h"
#include "transfer/XmlLayout.h"

#include <QBuffer>
#include <QHash>
#include <QIODevice>
#include <QStringDecoder>

#include <expat.h>

#include <algorithm>
#include <array>
#include <string>
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
};

struct Reader {
    ImportSink& sink;
    XML_Parser parser = nullptr;
    std::vector<Frame> frames;
    size_t depth = 0; // frames in use
    bool tooDeep = false;

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
    }
};

Reader& reader(void* data) {
    return *static_cast<Reader*>(data);
}

bool blank(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
}

void XMLCALL onStart(void* data, const XML_Char* name, const XML_Char**) {
    Reader& r = reader(data);
    if (r.depth > 0) {
        Frame& parent = r.frames[r.depth - 1];
        if (blank(parent.text)) {
            parent.text.clear(); // layout between children: nothing to keep, however long the file
        }
        if (qstrcmp(name, "record") == 0) {
            r.itemEnds(parent);
            r.lastColumn = -1;
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
}

void XMLCALL onEnd(void* data, const XML_Char* name) {
    Reader& r = reader(data);
    if (r.depth == 0 || r.tooDeep) {
        return;
    }
    const int level = static_cast<int>(--r.depth);
    if (r.depth == 0 || qstrcmp(name, "record") == 0) {
        return;
    }
    const Frame& done = r.frames[r.depth];
    Frame& parent = r.frames[r.depth - 1];
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
    std::string& text = r.frames[r.depth - 1].text;
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

} // namespace

XmlReadResult readXmlRecords(QIODevice& device, ImportSink& sink) {
    XmlReadResult result;
    Reader r{sink, nullptr, {}, 0, false};
    r.values = sink.wantsValues();
    r.parser = XML_ParserCreate(nullptr);
    if (!r.parser) {
        result.wellFormed = false;
        result.error = QStringLiteral("out of memory");
        return result;
    }
    // No handler for external entities, and parameter entities never parsed: nothing outside
    // the file is ever opened. Expat's own amplification limit ends entity bombs as errors.
    XML_SetParamEntityParsing(r.parser, XML_PARAM_ENTITY_PARSING_NEVER);
    XML_SetUserData(r.parser, &r);
    XML_SetElementHandler(r.parser, onStart, onEnd);
    XML_SetCharacterDataHandler(r.parser, onCharacters);
    XML_SetUnknownEncodingHandler(r.parser, onUnknownEncoding, nullptr);
    constexpr qsizetype piece = 1 << 20;
    bool ok = true;
    for (;;) {
        const QByteArray bytes = device.read(piece);
        const bool last = bytes.isEmpty() || device.atEnd();
        ok = XML_Parse(r.parser, bytes.constData(), static_cast<int>(bytes.size()), last) == XML_STATUS_OK;
        if (!ok || last) {
            break;
        }
    }
    const XML_Error code = XML_GetErrorCode(r.parser);
    if (!ok && code == XML_ERROR_INVALID_TOKEN && device.seek(XML_GetCurrentByteIndex(r.parser))) {
        // Bytes that are no UTF-8 where UTF-8 was due: the usual cause is a file saved in
        // another encoding without saying so.
        bool bad = false;
        if (validUtf8(device.read(4), bad) == 0 && bad) {
            result.wellFormed = false;
            result.notUtf8 = true;
            result.line = static_cast<qsizetype>(XML_GetCurrentLineNumber(r.parser));
            XML_ParserFree(r.parser);
            return result;
        }
    }
    if (!ok) {
        result.wellFormed = false;
        result.error =
            r.tooDeep ? QStringLiteral("elements nested too deeply") : QString::fromUtf8(XML_ErrorString(code));
        result.line = static_cast<qsizetype>(XML_GetCurrentLineNumber(r.parser));
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
    if (result.notUtf8) {
        return notUtf8Message(result.line);
    }
    return QStringLiteral("The XML file is not well-formed: %1 at line %2. Nothing was imported.")
        .arg(result.error)
        .arg(result.line);
}

} // namespace quillbox
