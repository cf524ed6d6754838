#pragma once

#include "platform/FileSystem.h"
#include "transfer/ImportSink.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace quillbox {

struct RefusedLine {
    qsizetype line = 0;
    QString reason;
};

// What a first reading of an import file found, for the user to see before anything is stored:
// how many records, every refused line, how the columns are placed, and the first records as
// they will be stored. It also keeps everything read, in file order and as UTF-8, so the import
// stores exactly what was shown without reading the file again. Beyond keepLimit bytes in memory
// it moves what it keeps to a scratch file in spillFolder (see ScratchFile), and again each time
// that much has gathered once more; without a spillFolder, or when the scratch file cannot take it
// all (a full disk), it keeps nothing more and the file has to be read once more to store it.
// Only plain data may be spilled: an encrypted database's records are given no spillFolder.
class ImportPreview : public ImportSink {
public:
    static constexpr int firstRecordsKept = 50;
    // Beyond this many the refusals are only counted, so a long file of junk stays small.
    static constexpr int refusalsKept = 10000;
    static constexpr qsizetype defaultKeepLimit = qsizetype{48} << 20;

    // A copy shares the scratch file, which goes with the last of them; only one may read on.
    explicit ImportPreview(qsizetype keepLimit = defaultKeepLimit, const QString& spillFolder = QString());

    void record(const SiteRecord& values) override;
    void recordUtf8(const Utf8Record& values) override;
    void refused(qsizetype line, const QString& reason) override;
    void mapping(const QStringList& columns) override { m_mapping = columns; }
    bool wantsValues() const override { return m_keeping || m_first.size() < firstRecordsKept; }

    qsizetype recordCount() const { return m_records; }
    qsizetype refusedCount() const { return m_refused; }
    const QList<RefusedLine>& refusals() const { return m_refusals; }
    const QStringList& columnMapping() const { return m_mapping; }
    const QList<SiteRecord>& firstRecords() const { return m_first; }
    // Said when the file's content showed another format than its name.
    void setFormatNote(const QString& note) { m_formatNote = note; }
    const QString& formatNote() const { return m_formatNote; }

    // Whether everything read was kept; then replay() hands it over.
    bool keptAll() const { return m_keeping; }
    // Whether some of it is kept in a scratch file.
    bool spilled() const;
    QString spillFolder() const override { return m_spillFolder; }
    // Gives sink the records and refused lines kept, in file order, as the reader gave them.
    // Returns why a scratch file could not be read back (then not all was handed over), or nothing.
    QString replay(ImportSink& sink) const;
    // While this keeps all it reads: later's entries become its own, after those kept so far,
    // without being copied (its scratch files with them). Otherwise they are replayed here.
    QString follow(ImportPreview&& later, qsizetype lines) override;

private:
    struct Block {
        QByteArray bytes; // of its full size from the start, filled up to used
        qsizetype used = 0;
    };
    // Entries in file order: those in the scratch file (made when first needed; each block as
    // its used size, 64 bits, then its bytes), then the blocks in memory. A part taken over from
    // another preview is a segment of its own, its refused lines counted on by lineShift.
    struct Segment {
        std::shared_ptr<ScratchFile> spill;
        std::vector<Block> blocks; // filled and never moved
        qsizetype lineShift = 0;
    };

    // Room for an entry of n bytes at the end of the last block; nullptr once nothing more is kept.
    char* room(qsizetype n);
    // Gives back the last n bytes of the room taken last.
    void giveBack(qsizetype n);
    // Moves every block in memory to its segment's scratch file, but for the buffer of the last,
    // kept to be filled again; false when a file could not take them.
    bool spill();
    // The same for one segment (its scratch file made when first needed), no buffer kept.
    bool spill(Segment& segment);
    void stopKeeping();

    qsizetype m_records = 0;
    qsizetype m_refused = 0;
    QList<RefusedLine> m_refusals;
    QStringList m_mapping;
    QString m_formatNote;
    QList<SiteRecord> m_first;
    qsizetype m_keepLimit;
    bool m_keeping = true;
    qsizetype m_kept = 0;                                      // bytes of all blocks in memory
    std::vector<Segment> m_segments = std::vector<Segment>(1); // entries go to the last
    QString m_spillFolder;
    QByteArray m_utf8; // a record's values as UTF-8, for record()
};

inline const QString spillUnreadableMessage = QStringLiteral("the import's scratch file could not be read back: %1");

inline const QString noRecordMessage = QStringLiteral("No record could be read from the file; nothing was imported.");

// The status line after an import.
QString importedMessage(qsizetype imported, qsizetype refused);

} // namespace quillbox
