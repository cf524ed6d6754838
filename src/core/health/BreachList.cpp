#include "health/BreachList.h"

#include <QCryptographicHash>
#include <QFile>

#include <algorithm>
#include <cstring>
#include <numeric>

namespace quillbox {

namespace {

constexpr int hashLength = 40;
// Past this many hashes one pass over the file reads less than a binary search for each.
constexpr qsizetype searchLimit = 2000;
constexpr qint64 chunkSize = 1 << 20;

QString layoutError(qint64 line) {
    return QStringLiteral("line %1 of the breach list is not a \"hash:count\" line").arg(line);
}

// The count after the colon of a line that starts with a hash; -1 when there is none.
qint64 countOf(const char* line, qsizetype length) {
    if (length <= hashLength || line[hashLength] != ':') {
        return -1;
    }
    qint64 count = 0;
    qsizetype i = hashLength + 1;
    for (; i < length && line[i] >= '0' && line[i] <= '9'; ++i) {
        count = count * 10 + (line[i] - '0');
    }
    return i == hashLength + 1 ? -1 : count;
}

bool isHex(const char* text) {
    for (int i = 0; i < hashLength; ++i) {
        const char c = text[i];
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'))) {
            return false;
        }
    }
    return true;
}

// The hashes in the file's case, so that lines compare byte by byte.
QList<QByteArray> inCaseOf(const QList<QByteArray>& hashes, bool lower) {
    QList<QByteArray> out;
    out.reserve(hashes.size());
    for (const QByteArray& h : hashes) {
        out.append(lower ? h.toLower() : h.toUpper());
    }
    return out;
}

class ListFile {
public:
    explicit ListFile(const QString& name) : m_file(name) {}
    bool open() { return m_file.open(QIODevice::ReadOnly); }
    QString errorString() const { return m_file.errorString(); }
    qint64 size() const { return m_file.size(); }
    QByteArray read(qint64 offset, qint64 length) { return m_file.seek(offset) ? m_file.read(length) : QByteArray(); }
    QFile& file() { return m_file; }

private:
    QFile m_file;
};

// One hash by binary search over byte offsets: [low, high] always holds the start of the line
// the hash would be on, and low is a line start.
qint64 searchOne(ListFile& file, const QByteArray& hash, QString& error) {
    constexpr qint64 window = 8192;
    qint64 low = 0;
    qint64 high = file.size();
    while (high - low > window) {
        const qint64 mid = low + (high - low) / 2;
        const QByteArray bytes = file.read(mid, 512);
        const qsizetype newline = bytes.indexOf('\n');
        if (newline < 0) {
            error = QStringLiteral("the breach list has a line longer than 512 bytes near byte %1").arg(mid);
            return -1;
        }
        const qint64 start = mid + newline + 1;
        if (start >= high) {
            high = mid + 1;
            continue;
        }
        const QByteArray line = file.read(start, hashLength);
        if (line.size() < hashLength) {
            high = start; // the file's last line, without a hash after it
            continue;
        }
        const int order = std::memcmp(line.constData(), hash.constData(), hashLength);
        if (order == 0) {
            low = start;
            break;
        }
        if (order < 0) {
            low = start;
        } else {
            high = start;
        }
    }
    // The remaining lines, read whole.
    const QByteArray tail = file.read(low, high - low + 512);
    for (qsizetype at = 0; at < tail.size();) {
        qsizetype end = tail.indexOf('\n', at);
        if (end < 0) {
            end = tail.size();
        }
        const qsizetype length = end - at - (end > at && tail[end - 1] == '\r');
        if (length >= hashLength) {
            const int order = std::memcmp(tail.constData() + at, hash.constData(), hashLength);
            if (order == 0) {
                return std::max<qint64>(0, countOf(tail.constData() + at, length));
            }
            if (order > 0) {
                break;
            }
        }
        at = end + 1;
    }
    return 0;
}

// Every hash in one pass: the file and the sorted hashes walked side by side.
QString mergeAll(ListFile& file, const QList<QByteArray>& sorted, const QList<qsizetype>& order,
                 QList<qint64>& counts) {
    QByteArray carry;
    QByteArray previous(hashLength, '\0');
    qsizetype next = 0;
    qint64 lineNumber = 0;
    QByteArray chunk(chunkSize, Qt::Uninitialized);
    while (next < sorted.size()) {
        const qint64 got = file.file().read(chunk.data(), chunkSize);
        if (got < 0) {
            return file.errorString();
        }
        const bool last = got == 0;
        QByteArray data = carry;
        data.append(chunk.constData(), got);
        const char* bytes = data.constData();
        qsizetype at = 0;
        while (next < sorted.size()) {
            const char* newline =
                static_cast<const char*>(std::memchr(bytes + at, '\n', static_cast<size_t>(data.size() - at)));
            if (!newline && !last) {
                break; // the rest of this line is in the next chunk
            }
            const qsizetype end = newline ? newline - bytes : data.size();
            const qsizetype length = end - at - (end > at && bytes[end - 1] == '\r');
            if (length == 0 && !newline) {
                break; // the end of the file
            }
            ++lineNumber;
            const char* line = bytes + at;
            if (length > 0) {
                if (length <= hashLength || line[hashLength] != ':' || !isHex(line)) {
                    return layoutError(lineNumber);
                }
                if (std::memcmp(previous.constData(), line, hashLength) > 0) {
                    return QStringLiteral("the breach list is not sorted by hash (line %1)").arg(lineNumber);
                }
                std::memcpy(previous.data(), line, hashLength);
                while (next < sorted.size() && std::memcmp(sorted[next].constData(), line, hashLength) < 0) {
                    ++next;
                }
                while (next < sorted.size() && std::memcmp(sorted[next].constData(), line, hashLength) == 0) {
                    counts[order[next]] = std::max<qint64>(0, countOf(line, length));
                    ++next;
                }
            }
            at = end + 1;
            if (!newline) {
                break;
            }
        }
        if (last) {
            break;
        }
        carry = at < data.size() ? data.mid(at) : QByteArray();
    }
    return QString();
}

} // namespace

QByteArray breachHash(const QString& password) {
    return QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Sha1).toHex().toUpper();
}

BreachLookup lookUpBreaches(const QString& listFile, const QList<QByteArray>& hashes) {
    BreachLookup lookup;
    lookup.counts.fill(0, hashes.size());
    ListFile file(listFile);
    if (!file.open()) {
        lookup.error = QStringLiteral("the breach list %1 could not be opened: %2").arg(listFile, file.errorString());
        return lookup;
    }
    // The case of the file's hex, from its first line.
    const QByteArray first = file.read(0, hashLength + 1);
    if (first.isEmpty() || hashes.isEmpty()) {
        return lookup;
    }
    if (first.size() <= hashLength || first[hashLength] != ':' || !isHex(first.constData())) {
        lookup.error = layoutError(1);
        return lookup;
    }
    const bool lower = std::any_of(first.begin(), first.begin() + hashLength, [](char c) { return c >= 'a'; });
    const QList<QByteArray> wanted = inCaseOf(hashes, lower);
    for (const QByteArray& h : wanted) {
        if (h.size() != hashLength) {
            lookup.error = QStringLiteral("a hash to look up is not 40 hex digits");
            return lookup;
        }
    }
    QList<qsizetype> order(wanted.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) { return wanted[a] < wanted[b]; });
    QList<QByteArray> sorted;
    sorted.reserve(wanted.size());
    for (const qsizetype i : order) {
        sorted.append(wanted[i]);
    }
    if (sorted.size() <= searchLimit) {
        for (qsizetype i = 0; i < sorted.size(); ++i) {
            const qint64 count = searchOne(file, sorted[i], lookup.error);
            if (!lookup.error.isEmpty()) {
                return lookup;
            }
            lookup.counts[order[i]] = count;
        }
        return lookup;
    }
    file.file().seek(0);
    lookup.error = mergeAll(file, sorted, order, lookup.counts);
    return lookup;
}

} // namespace quillbox
