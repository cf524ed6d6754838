#pragma once

#include "store/SiteRecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <array>

namespace quillbox {

class ImportPreview;

// A record's 29 text fields as UTF-8, valid for the call they are handed to.
using Utf8Record = std::array<QByteArrayView, Col::TextColumns>;
SiteRecord siteRecordFrom(const Utf8Record& values);

// A record's 29 text fields converted to UTF-8, and views on them.
struct Utf8Copy {
    explicit Utf8Copy(const SiteRecord& record);
    std::array<QByteArray, Col::TextColumns> bytes;
    Utf8Record views;
};

// Receives what a reader finds, in file order: records (their 29 text fields as plain, unquoted
// text) and the refused lines, each with the number of the line it began on.
class ImportSink {
public:
    virtual ~ImportSink() = default;
    virtual void record(const SiteRecord& values) = 0;
    // The same record from a reader that holds its values as UTF-8 (XML).
    virtual void recordUtf8(const Utf8Record& values) { record(siteRecordFrom(values)); }
    virtual void refused(qsizetype line, const QString& reason) = 0;
    // How the columns of a file with a header line are placed, one text per column; told once,
    // before the first record.
    virtual void mapping(const QStringList& columns) { Q_UNUSED(columns); }
    // False when the sink only counts records from here on, so a reader may skip decoding
    // their values.
    virtual bool wantsValues() const { return true; }
    // Where a reader that keeps what it reads ahead of the sink (the second half of a long XML
    // file) may spill it past memory, as ImportPreview does; empty: it may not.
    virtual QString spillFolder() const { return QString(); }
    // Takes what a preview kept all of, read from a later part of the file (the second half of a
    // long XML file), as if this sink had read it, its lines counted from lines + 1 on. Returns
    // why not all of it could be handed over (see ImportPreview::replay), or nothing. By default
    // it is replayed here; a preview takes it over as it stands.
    virtual QString follow(ImportPreview&& later, qsizetype lines);
};

// Passes everything on to another sink; a filter overrides what it changes or counts.
class ForwardingSink : public ImportSink {
public:
    explicit ForwardingSink(ImportSink& to) : m_to(to) {}
    void record(const SiteRecord& values) override { m_to.record(values); }
    void recordUtf8(const Utf8Record& values) override { m_to.recordUtf8(values); }
    void refused(qsizetype line, const QString& reason) override { m_to.refused(line, reason); }
    void mapping(const QStringList& columns) override { m_to.mapping(columns); }
    bool wantsValues() const override { return m_to.wantsValues(); }
    QString spillFolder() const override { return m_to.spillFolder(); }

private:
    ImportSink& m_to;
};

inline const QString noDelimiterMessage = QStringLiteral("Data delimiter not found, invalid line format.");
inline const QString missingColumnsMessage = QStringLiteral("Missing columns of data, invalid line format.");

} // namespace quillbox
