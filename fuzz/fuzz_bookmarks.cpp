// Any bytes through the bookmark reader: it must neither crash nor leave a line break in a title.
#include "FuzzCheck.h"
#include "transfer/Bookmarks.h"
#include "transfer/ImportText.h"

using namespace quillbox;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<QString> text = importedText(bytes);
    if (!text) {
        return 0;
    }
    for (const BookmarkEntry& entry : readBookmarks(*text, QStringLiteral("fuzz"))) {
        fuzzCheck(!entry.title.contains(QLatin1Char('\n')) && !entry.title.contains(QLatin1Char('\r')), "title",
                  entry.title);
        (void)bookmarkRecord(entry);
    }
    return 0;
}
