#pragma once

#include "settings/PasswordMaker.h"
#include "store/Database.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace quillbox {

// A record as the health report names it.
struct HealthRecord {
    QString record; // its number
    QString siteName;
    QString userName;
    QString owner;
};

struct WeakPassword {
    HealthRecord record;
    PasswordStrength strength;
};

struct StalePassword {
    HealthRecord record;
    QDateTime since; // the password has been the same at least since then (UTC)
};

struct BreachedPassword {
    HealthRecord record;
    qint64 seen = 0; // how often the breach list says it was seen
};

struct HealthReport {
    qsizetype checked = 0;             // records looked at
    QList<WeakPassword> weak;          // poor or weak by the strength estimate, weakest first
    QList<QList<HealthRecord>> reused; // groups of records sharing one password, largest first
    QList<HealthRecord> empty;         // no password at all
    QList<StalePassword> stale;        // unchanged for over a year, by the kept versions
    bool breachChecked = false;        // a breach list was read
    QList<BreachedPassword> breached;  // found in it, most seen first
    QString error;                     // why no report could be made; empty when it was
};

struct HealthRequest {
    QString owner;      // only this owner's records; every owner's when empty
    QDateTime now;      // "over a year" is counted back from here
    QString breachList; // a sorted "SHA-1 hash:count" file to check the passwords against; none when empty
};

// One line of the report as a list shows it: what was found, the record, and the particulars
// ("poor, 12 bits: ...", "group 2, 3 records share it", "seen 40 times", "unchanged since ...").
struct HealthFinding {
    QString finding;
    HealthRecord record;
    QString detail;
};
// Every finding, breaches first, then weak, reused, empty and year-old passwords.
QList<HealthFinding> healthFindings(const HealthReport& report);
// "5 records of Ann checked: 3 weak, 2 reused (1 groups), 1 empty, 0 a year old."
QString healthSummary(const HealthReport& report, const QString& whose);
// A weak password's strength and what makes it weak, for one line.
QString weakPasswordDetail(const PasswordStrength& strength);

// Reads the records (and the kept versions, when there are any) and reports on their passwords.
// The strength estimate runs on every core; nothing leaves the machine.
HealthReport checkPasswordHealth(const Database& db, const HealthRequest& request);

} // namespace quillbox
