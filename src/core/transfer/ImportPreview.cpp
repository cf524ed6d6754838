#include "transfer/ImportPreview.h"

#include <QStringEncoder>

#include <algorithm>

#include <cstdint>
#include <cstring>

namespace quillbox {

namespace {

// An entry begins with its kind. A record: 29 lengths (seven bits a byte, the high bit set on all
// but the last byte of one, so a short value's takes one byte), then the 29 values' bytes back to
// back. A refused line: its number (64 bits), the reason's length, the reason's bytes.
enum Kind : uint32_t { RecordEntry = 0, RefusedEntry = 1 };
constexpr qsizetype mostLengthBytes = 5; // of a 32-bit length
constexpr qsizetype blockSize = qsizetype{1} << 20;

template <typename T> char* put(char* to, T value) {
    std::memcpy(to, &value, sizeof value);
    return to + sizeof value;
}

template <typename T> T get(const char*& from) {
    T value;
    std::memcpy(&value, from, sizeof value);
    from += sizeof value;
    return value;
}

char* putLength(char* to, uint32_t length) {
    while (length >= 0x80) {
        *to++ = static_cast<char>((length & 0x7f) | 0x80);
        length >>= 7;
    }
    *to++ = static_cast<char>(length);
    return to;
}

uint32_t getLength(const char*& from) {
    uint32_t length = 0;
    for (int shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>(*from++);
        length |= static_cast<uint32_t>(byte & 0x7f) << shift;
        if (byte < 0x80) {
            return length;
        }
    }
}

} // namespace

ImportPreview::ImportPreview(qsizetype keepLimit, const QString& spillFolder)
    : m_keepLimit(keepLimit), m_spillFolder(spillFolder) {}

char* ImportPreview::room(qsizetype n) {
    if (!m_keeping) {
        return nullptr;
    }
    std::vector<Block>& blocks = m_segments.back().blocks;
    const auto fits = [&] { return !blocks.empty() && blocks.back().bytes.size() - blocks.back().used >= n; };
    if (!fits()) {
        const qsizetype size = std::max(n, blockSize);
        if (m_kept + size > m_keepLimit && !spill()) {
            // Too much to keep: the file will be read again, so nothing kept is needed.
            stopKeeping();
            return nullptr;
        }
        if (!fits()) {
            blocks.push_back({QByteArray(size, Qt::Uninitialized), 0});
            m_kept += size;
        }
    }
    Block& block = blocks.back();
    char* to = block.bytes.data() + block.used;
    block.used += n;
    return to;
}

bool ImportPreview::spill(Segment& segment) {
    if (m_spillFolder.isEmpty()) {
        return false;
    }
    if (!segment.spill) {
        segment.spill = std::make_shared<ScratchFile>(m_spillFolder);
    }
    for (const Block& block : segment.blocks) {
        const auto used = static_cast<int64_t>(block.used);
        if (!segment.spill->append(reinterpret_cast<const char*>(&used), sizeof used) ||
            !segment.spill->append(block.bytes.constData(), block.used)) {
            return false;
        }
        m_kept -= block.bytes.size();
    }
    segment.blocks.clear();
    return true;
}

bool ImportPreview::spill() {
    if (m_spillFolder.isEmpty()) {
        return false;
    }
    std::vector<Block>& blocks = m_segments.back().blocks;
    QByteArray last = blocks.empty() ? QByteArray() : blocks.back().bytes; // shares its buffer
    for (Segment& segment : m_segments) {
        if (!segment.blocks.empty() && !spill(segment)) {
            return false;
        }
    }
    // From here on the last block's buffer is filled again.
    if (last.size() == blockSize) {
        blocks.push_back({std::move(last), 0});
        m_kept += blockSize;
    }
    return true;
}

bool ImportPreview::spilled() const {
    return std::any_of(m_segments.begin(), m_segments.end(), [](const Segment& s) { return s.spill != nullptr; });
}

void ImportPreview::stopKeeping() {
    m_keeping = false;
    m_segments.assign(1, Segment()); // and the scratch files with them
    m_segments.shrink_to_fit();
    m_kept = 0;
}

void ImportPreview::giveBack(qsizetype n) {
    if (m_keeping) {
        m_segments.back().blocks.back().used -= n;
    }
}

QString ImportPreview::follow(ImportPreview&& later, qsizetype lines) {
    if (!m_keeping || !later.m_keeping) {
        return ImportSink::follow(std::move(later), lines);
    }
    m_records += later.m_records;
    m_refused += later.m_refused;
    for (const RefusedLine& refusal : later.m_refusals) {
        if (m_refusals.size() < refusalsKept) {
            m_refusals.append({refusal.line + lines, refusal.reason});
        }
    }
    for (const SiteRecord& record : later.m_first) {
        if (m_first.size() < firstRecordsKept) {
            m_first.append(record);
        }
    }
    if (m_segments.back().blocks.empty() && !m_segments.back().spill) {
        m_segments.pop_back(); // nothing kept in it yet
    }
    const bool tooMuch = m_kept + later.m_kept > m_keepLimit;
    m_kept += later.m_kept;
    for (Segment& segment : later.m_segments) {
        segment.lineShift += lines;
        m_segments.push_back(std::move(segment));
        // Past what may stay in memory, the part taken over goes to its scratch file: it is
        // stored last, and it is no more than the limit.
        if (tooMuch && !spill(m_segments.back())) {
            stopKeeping();
            break;
        }
    }
    later = ImportPreview();
    if (m_keeping) {
        m_segments.emplace_back(); // for what comes after
    }
    return QString();
}

void ImportPreview::record(const SiteRecord& values) {
    if (!wantsValues()) {
        ++m_records; // only counted from here on: no need of the values as UTF-8
        return;
    }
    // Converted into one buffer kept from record to record, rather than a new one per value.
    QStringEncoder utf8(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    qsizetype most = 0;
    for (int k = 0; k < Col::TextColumns; ++k) {
        most += utf8.requiredSpace(values[k].size());
    }
    if (m_utf8.size() < most) {
        m_utf8.resize(most);
    }
    Utf8Record views;
    char* to = m_utf8.data();
    for (int k = 0; k < Col::TextColumns; ++k) {
        char* const at = to;
        to = utf8.appendToBuffer(to, values[k]);
        views[static_cast<size_t>(k)] = QByteArrayView(at, to - at);
    }
    recordUtf8(views);
}

void ImportPreview::recordUtf8(const Utf8Record& values) {
    if (m_first.size() < firstRecordsKept) {
        m_first.append(siteRecordFrom(values));
    }
    ++m_records;
    qsizetype n = sizeof(uint32_t) + mostLengthBytes * static_cast<qsizetype>(values.size());
    for (const QByteArrayView& v : values) {
        n += v.size();
    }
    char* to = room(n);
    if (!to) {
        return;
    }
    char* const start = to;
    to = put<uint32_t>(to, RecordEntry);
    for (const QByteArrayView& v : values) {
        to = putLength(to, static_cast<uint32_t>(v.size()));
    }
    for (const QByteArrayView& v : values) {
        if (!v.isEmpty()) {
            std::memcpy(to, v.data(), static_cast<size_t>(v.size()));
            to += v.size();
        }
    }
    giveBack(n - (to - start)); // what the lengths took less than the most they could
}

void ImportPreview::refused(qsizetype line, const QString& reason) {
    if (m_refusals.size() < refusalsKept) {
        m_refusals.append({line, reason});
    }
    ++m_refused;
    const QByteArray text = reason.toUtf8();
    char* to = room(static_cast<qsizetype>(sizeof(uint32_t) + sizeof(int64_t) + sizeof(uint32_t)) + text.size());
    if (!to) {
        return;
    }
    to = put<uint32_t>(to, RefusedEntry);
    to = put<int64_t>(to, line);
    to = put(to, static_cast<uint32_t>(text.size()));
    std::memcpy(to, text.constData(), static_cast<size_t>(text.size()));
}

namespace {

void replayBlock(const char* at, qsizetype used, ImportSink& sink, qsizetype lineShift) {
    Utf8Record values;
    const char* const end = at + used;
    while (at < end) {
        if (get<uint32_t>(at) == RefusedEntry) {
            const auto line = get<int64_t>(at);
            const auto length = get<uint32_t>(at);
            sink.refused(line + lineShift, QString::fromUtf8(at, length));
            at += length;
            continue;
        }
        std::array<uint32_t, Col::TextColumns> lengths;
        for (uint32_t& length : lengths) {
            length = getLength(at);
        }
        for (size_t k = 0; k < values.size(); ++k) {
            values[k] = QByteArrayView(at, lengths[k]);
            at += lengths[k];
        }
        sink.recordUtf8(values);
    }
}

} // namespace

QString ImportPreview::replay(ImportSink& sink) const {
    QByteArray buffer;
    for (const Segment& segment : m_segments) {
        const std::shared_ptr<ScratchFile>& spill = segment.spill;
        for (qint64 at = 0; spill && at < spill->size();) {
            int64_t used = 0;
            if (!spill->readAt(at, reinterpret_cast<char*>(&used), sizeof used) || used < 0 ||
                used > spill->size() - at - static_cast<qint64>(sizeof used)) {
                return spillUnreadableMessage.arg(spill->errorString());
            }
            buffer.resize(static_cast<qsizetype>(used));
            if (!spill->readAt(at + static_cast<qint64>(sizeof used), buffer.data(), buffer.size())) {
                return spillUnreadableMessage.arg(spill->errorString());
            }
            replayBlock(buffer.constData(), buffer.size(), sink, segment.lineShift);
            at += static_cast<qint64>(sizeof used) + used;
        }
        for (const Block& block : segment.blocks) {
            replayBlock(block.bytes.constData(), block.used, sink, segment.lineShift);
        }
    }
    return QString();
}

QString importedMessage(qsizetype imported, qsizetype refused) {
    return (imported == 1 ? QStringLiteral("1 record imported, ")
                          : QStringLiteral("%1 records imported, ").arg(imported)) +
           (refused == 1 ? QStringLiteral("1 line refused.") : QStringLiteral("%1 lines refused.").arg(refused));
}

} // namespace quillbox
