#include "support/SampleRecords.h"

#include "crypt/FileKey.h"
#include "store/Database.h"
#include "store/DatabaseFile.h"
#include "store/FileConversion.h"
#include "store/SiteStore.h"
#include "store/SqlText.h"

#include <QDir>
#include <QFileInfo>

#include <random>

namespace quillbox::sample {

namespace {
const char* const words[] = {"bank",  "mail",   "shop",   "cloud", "forum", "news",  "travel", "music",
                             "video", "office", "school", "games", "photo", "maps",  "health", "energy",
                             "water", "phone",  "market", "books", "study", "sport", "garden", "tools"};
const char* const categories[] = {"Banking", "Mail",  "Shopping", "Work",   "Forums",    "News",
                                  "Travel",  "Media", "Software", "Health", "Utilities", "Games"};
const char* const others[] = {"Bob Sample", "Cy Tester", "Dee Person", "Eve Other"};
} // namespace

QList<SiteRecord> generateRecords(int count, unsigned seed) {
    std::mt19937 rng(seed);
    auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    auto word = [&] { return QString::fromLatin1(words[pick(24)]); };
    auto token = [&](int length) {
        static const char alphabet[] = "abcdefghijkmnopqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789!#%&";
        QString s;
        for (int i = 0; i < length; ++i) {
            s += QLatin1Char(alphabet[pick(sizeof(alphabet) - 1)]);
        }
        return s;
    };
    QList<SiteRecord> records;
    records.reserve(count);
    for (int i = 0; i < count; ++i) {
        SiteRecord r;
        const QString a = word();
        const QString b = word();
        r[Col::SiteNameLabel] = QStringLiteral("Site name");
        r[Col::SiteName] =
            a.left(1).toUpper() + a.mid(1) + QLatin1Char(' ') + b + QLatin1Char(' ') + QString::number(i);
        r[Col::UserNameLabel] = QStringLiteral("User name");
        r[Col::UserName] =
            word() + QLatin1Char('.') + word() + QString::number(pick(1000)) + QStringLiteral("@example.org");
        r[Col::PasswordLabel] = QStringLiteral("Password");
        r[Col::Password] = token(10 + pick(8));
        r[Col::HomePageLabel] = QStringLiteral("Home page");
        r[Col::HomePage] = QStringLiteral("https://www.") + a + b + QStringLiteral(".example.com/") + word() +
                           QStringLiteral("/login");
        if (pick(3) == 0) {
            r[Col::FirstMisc] = QStringLiteral("Account number");
            r[Col::FirstMisc + 1] = QString::number(10000000 + pick(89999999));
        }
        if (pick(5) == 0) {
            r[Col::FirstMisc + 2] = QStringLiteral("Security question");
            r[Col::FirstMisc + 3] = QStringLiteral("Name of the first ") + word();
        }
        r[Col::Category] = QString::fromLatin1(categories[pick(12)]);
        r[Col::Owner] = pick(100) < 96 ? mainOwner : QString::fromLatin1(others[pick(4)]);
        if (pick(4) == 0) {
            r[Col::Notes] = QStringLiteral("Renewed in ") + QString::number(2000 + pick(26)) +
                            QStringLiteral(".\r\nSupport line: ") + QString::number(pick(900000) + 100000);
        }
        records.append(r);
    }
    return records;
}

QString writeDatabase(const QString& file, const QList<SiteRecord>& records) {
    QDir().mkpath(QFileInfo(file).path());
    Database db;
    const OpenResult opened = openDatabase(db, file);
    if (!opened.ok) {
        return opened.text;
    }
    db.execute(QStringLiteral("Begin Transaction"));
    for (const SiteRecord& r : records) {
        if (!db.execute(buildInsertStatement(quotedFields(r)))) {
            return db.errorText();
        }
    }
    return db.execute(QStringLiteral("Commit")) ? QString() : db.errorText();
}

std::shared_ptr<const FileKey> cheapKey(const QString& typed) {
    return FileKey::derive(typed, FileHeader::fresh({1, MinKdfMemoryMiB}, 4096));
}

std::shared_ptr<const FileKey> encryptFile(const QString& file, const QString& typed) {
    auto key = cheapKey(typed);
    if (const Result encrypted = convertDatabaseFile(file, nullptr, key); !encrypted) {
        qWarning("could not encrypt %s: %s", qPrintable(file), qPrintable(encrypted.error()));
        return nullptr;
    }
    return key;
}

std::shared_ptr<const FileKey> keyOf(const QString& file, const QString& typed) {
    return databaseKind(file) == DatabaseKind::Encrypted ? unlockDatabaseFile(file, typed).key : nullptr;
}

} // namespace quillbox::sample
