#include "health/PasswordHealth.h"

#include "health/BreachList.h"
#include "store/RecordHistory.h"
#include "store/SiteRecord.h"
#include "store/SqlText.h"

#include <QHash>

#include <algorithm>
#include <thread>
#include <vector>

namespace quillbox {

namespace {

struct Row {
    HealthRecord record;
    QString password;
};

std::optional<QList<Row>> readRows(const Database& db, const QString& owner, QString& error) {
    // Only the columns the report names: the notes and the free fields stay in the file.
    QString statement = QStringLiteral("SELECT record, sitename, username, password, owner FROM quillbox");
    if (!owner.isEmpty()) {
        statement += QStringLiteral(" WHERE owner='") + sqlQuote(owner) + QLatin1Char('\'');
    }
    statement += QStringLiteral(" ORDER BY record");
    QList<Row> rows;
    Query query(db, statement);
    while (query.next()) {
        rows.append(Row{
            {query.field(Col::Record), query.field(Col::SiteName), query.field(Col::UserName), query.field(Col::Owner)},
            query.field(Col::Password)});
    }
    if (query.failed()) {
        error = db.errorText();
        return std::nullopt;
    }
    return rows;
}

// Since when each record's password has been what it is, by its kept versions: the time of the
// newest save that replaced another password, or, when every kept version has the same one, the
// oldest version's time (it was already in use then). Records without versions are not known.
QHash<QString, QDateTime> passwordSince(const Database& db, const QHash<QString, QString>& current) {
    QHash<QString, QDateTime> since;
    if (current.isEmpty()) {
        return since;
    }
    QHash<QString, bool> settled; // a replaced password was found: older versions do not matter
    Query query(db, QStringLiteral("SELECT record, changed, password FROM quillbox_history WHERE event='version' "
                                   "ORDER BY record, entry DESC"));
    while (query.next()) {
        const QString record = query.text(0);
        const auto now = current.constFind(record);
        if (now == current.constEnd() || settled.value(record)) {
            continue;
        }
        since[record] = QDateTime::fromString(query.text(1), Qt::ISODateWithMs);
        if (query.text(2) != *now) {
            settled[record] = true;
        }
    }
    return since;
}

// The strength of each password, on as many threads as there are cores.
QList<PasswordStrength> strengths(const QStringList& passwords) {
    QList<PasswordStrength> out(passwords.size());
    const qsizetype threads = std::clamp<qsizetype>(std::thread::hardware_concurrency(), 1, 16);
    const qsizetype share = (passwords.size() + threads - 1) / threads;
    std::vector<std::thread> workers;
    for (qsizetype t = 0; t < threads && t * share < passwords.size(); ++t) {
        workers.emplace_back([&, t] {
            const qsizetype end = std::min(passwords.size(), (t + 1) * share);
            for (qsizetype i = t * share; i < end; ++i) {
                out[i] = passwordStrength(passwords[i]);
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    return out;
}

} // namespace

HealthReport checkPasswordHealth(const Database& db, const HealthRequest& request) {
    HealthReport report;
    const std::optional<QList<Row>> rows = readRows(db, request.owner, report.error);
    if (!rows) {
        return report;
    }
    report.checked = rows->size();

    // Each password once: the estimate and the breach list are asked about it a single time.
    QHash<QString, QList<qsizetype>> holders;
    QStringList passwords;
    holders.reserve(rows->size());
    for (qsizetype i = 0; i < rows->size(); ++i) {
        const Row& row = rows->at(i);
        if (row.password.isEmpty()) {
            report.empty.append(row.record);
            continue;
        }
        QList<qsizetype>& list = holders[row.password];
        if (list.isEmpty()) {
            passwords.append(row.password);
        }
        list.append(i);
    }

    const QList<PasswordStrength> estimates = strengths(passwords);
    for (qsizetype p = 0; p < passwords.size(); ++p) {
        const QList<qsizetype>& list = holders.value(passwords[p]);
        if (estimates[p].weak()) {
            for (const qsizetype i : list) {
                report.weak.append(WeakPassword{rows->at(i).record, estimates[p]});
            }
        }
        if (list.size() > 1) {
            QList<HealthRecord> group;
            for (const qsizetype i : list) {
                group.append(rows->at(i).record);
            }
            report.reused.append(group);
        }
    }
    std::stable_sort(report.weak.begin(), report.weak.end(),
                     [](const WeakPassword& a, const WeakPassword& b) { return a.strength.bits < b.strength.bits; });
    std::stable_sort(report.reused.begin(), report.reused.end(),
                     [](const QList<HealthRecord>& a, const QList<HealthRecord>& b) { return a.size() > b.size(); });

    const QDateTime yearAgo = request.now.toUTC().addYears(-1);
    QHash<QString, QString> current; // only asked for when there are kept versions to compare
    if (historyTableExists(db)) {
        current.reserve(rows->size());
        for (const Row& row : *rows) {
            current.insert(row.record.record, row.password);
        }
    }
    const QHash<QString, QDateTime> since = passwordSince(db, current);
    for (const Row& row : *rows) {
        const auto found = since.constFind(row.record.record);
        if (!row.password.isEmpty() && found != since.constEnd() && found->isValid() && *found < yearAgo) {
            report.stale.append(StalePassword{row.record, *found});
        }
    }
    std::stable_sort(report.stale.begin(), report.stale.end(),
                     [](const StalePassword& a, const StalePassword& b) { return a.since < b.since; });

    if (!request.breachList.isEmpty()) {
        QList<QByteArray> hashes;
        hashes.reserve(passwords.size());
        for (const QString& password : std::as_const(passwords)) {
            hashes.append(breachHash(password));
        }
        const BreachLookup lookup = lookUpBreaches(request.breachList, hashes);
        if (!lookup.error.isEmpty()) {
            report.error = lookup.error;
            return report;
        }
        report.breachChecked = true;
        for (qsizetype p = 0; p < passwords.size(); ++p) {
            if (lookup.counts[p] > 0) {
                for (const qsizetype i : holders.value(passwords[p])) {
                    report.breached.append(BreachedPassword{rows->at(i).record, lookup.counts[p]});
                }
            }
        }
        std::stable_sort(report.breached.begin(), report.breached.end(),
                         [](const BreachedPassword& a, const BreachedPassword& b) { return a.seen > b.seen; });
    }
    return report;
}

QString weakPasswordDetail(const PasswordStrength& strength) {
    return strengthText(strength) + (strength.warning.isEmpty() ? QString() : QStringLiteral(": ") + strength.warning);
}

QList<HealthFinding> healthFindings(const HealthReport& report) {
    QList<HealthFinding> out;
    for (const BreachedPassword& b : report.breached) {
        out.append({QStringLiteral("In a breach"), b.record, QStringLiteral("seen %1 times").arg(b.seen)});
    }
    for (const WeakPassword& w : report.weak) {
        out.append({QStringLiteral("Weak"), w.record, weakPasswordDetail(w.strength)});
    }
    for (qsizetype g = 0; g < report.reused.size(); ++g) {
        const QString detail = QStringLiteral("group %1, %2 records share it").arg(g + 1).arg(report.reused[g].size());
        for (const HealthRecord& r : report.reused[g]) {
            out.append({QStringLiteral("Reused"), r, detail});
        }
    }
    for (const HealthRecord& r : report.empty) {
        out.append({QStringLiteral("Empty"), r, QString()});
    }
    for (const StalePassword& st : report.stale) {
        out.append(
            {QStringLiteral("A year old"), st.record,
             QStringLiteral("unchanged since %1").arg(st.since.toLocalTime().toString(QStringLiteral("yyyy-MM-dd")))});
    }
    return out;
}

QString healthSummary(const HealthReport& report, const QString& whose) {
    qsizetype reused = 0;
    for (const QList<HealthRecord>& group : report.reused) {
        reused += group.size();
    }
    QString note = QStringLiteral("%1 records of %2 checked: %3 weak, %4 reused (%5 groups), %6 empty, %7 a year old")
                       .arg(report.checked)
                       .arg(whose)
                       .arg(report.weak.size())
                       .arg(reused)
                       .arg(report.reused.size())
                       .arg(report.empty.size())
                       .arg(report.stale.size());
    if (report.breachChecked) {
        note += QStringLiteral(", %1 in the breach list").arg(report.breached.size());
    }
    return note + QLatin1Char('.');
}

} // namespace quillbox
