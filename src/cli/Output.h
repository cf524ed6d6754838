#pragma once

#include "health/PasswordHealth.h"
#include "store/SiteRecord.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace quillbox::cli {

// Text from the database made safe for a terminal: control characters (which could move the
// cursor or retitle the window) become blanks, so a value can neither break the columns nor
// send commands to the terminal.
QString terminalSafe(const QString& text);

// Rows of cells in columns as wide as their widest cell, two blanks apart, one line per row.
QString alignedColumns(const QList<QStringList>& rows);

// The columns the list shows masked unless private data is shown.
bool isPrivateColumn(int column);

// The records as the list shows them: record number, site name, user name, password, home page,
// category and owner, with a heading; private columns masked unless shown.
QString recordTable(const QList<SiteRecord>& records, bool showPrivate);

// One record whole: each label beside its value, then category, owner, notes and number.
QString recordDetails(const SiteRecord& record, bool showPrivate);

// An array of objects keyed by column name, the record number a number; UTF-8.
QByteArray recordsJson(const QList<SiteRecord>& records, bool showPrivate);

// The health report as tables under a heading for each finding, and as one JSON object.
QString healthText(const HealthReport& report, const QString& owner);
QByteArray healthJson(const HealthReport& report);

} // namespace quillbox::cli
