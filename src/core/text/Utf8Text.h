#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

namespace quillbox {

// UTF-8 bytes as text, every character kept. QString::fromUtf8() drops a U+FEFF at the start as if
// it were a byte-order mark; in a value it is a character the user put there.
inline QString utf8Text(QByteArrayView bytes) {
    if (!bytes.startsWith("\xEF\xBB\xBF")) {
        return QString::fromUtf8(bytes);
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

} // namespace quillbox
