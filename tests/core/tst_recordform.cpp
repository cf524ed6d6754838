#include "record/RecordForm.h"
#include "store/SqlText.h"

#include <QtTest>

using namespace quillbox;

class RecordFormTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void saveChecksInOrder_data();
    void saveChecksInOrder();
    void capitalisesFirstLetters_data();
    void capitalisesFirstLetters();
    void notesAreStoredWithCrLf_data();
    void notesAreStoredWithCrLf();
    void savingQuotesEveryText();
    void valueAndLabelListStatements();
};

void RecordFormTest::saveChecksInOrder_data() {
    QTest::addColumn<QStringList>("values"); // site, user, password, home, category, owner, misc1, notes
    QTest::addColumn<QString>("title");
    QTest::newRow("only a password") << QStringList{"", "", "pw", "", "Money", "Home", "", ""} << "";
    QTest::newRow("blanks are data") << QStringList{" ", "", "", "", " ", " ", "", ""} << "";
    QTest::newRow("free field and notes do not count")
        << QStringList{"", "", "", "", "Money", "Home", "x", "note"} << "Data Error";
    QTest::newRow("category before owner") << QStringList{"Bank", "", "", "", "", "", "", ""} << "Category Error";
    QTest::newRow("owner") << QStringList{"", "", "", "http://x", "Money", "", "", ""} << "Owner Error";
    QTest::newRow("first four before category") << QStringList{"", "", "", "", "", "", "", ""} << "Data Error";
}

void RecordFormTest::saveChecksInOrder() {
    QFETCH(QStringList, values);
    QFETCH(QString, title);
    SiteRecord typed;
    const int columns[] = {Col::SiteName, Col::UserName, Col::Password,      Col::HomePage,
                           Col::Category, Col::Owner,    Col::FirstMisc + 1, Col::Notes};
    for (int i = 0; i < 8; ++i) {
        typed[columns[i]] = values[i];
    }
    const SaveCheck check = checkRecordForSave(recordForSaving(typed));
    QCOMPARE(check.ok, title.isEmpty());
    QCOMPARE(check.title, title);
    if (title == "Data Error") {
        QCOMPARE(check.text,
                 QStringLiteral("You must add at least one item of data in the first four fields to save the record."));
    } else if (title == "Category Error") {
        QCOMPARE(check.text, QStringLiteral("The record category must not be empty, please assign one."));
    } else if (title == "Owner Error") {
        QCOMPARE(check.text, QStringLiteral("The record owner must not be empty, please assign one."));
    }
}

void RecordFormTest::capitalisesFirstLetters_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("caret");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("words typed") << "" << 0 << "my bank login"
                                 << "My Bank Login";
    QTest::newRow("capitals inside stay") << "" << 0 << "McDonald"
                                          << "McDonald";
    QTest::newRow("what was there stays") << "eBay" << 4 << " shop"
                                          << "eBay Shop";
    QTest::newRow("inside a word") << "ebay" << 1 << "x"
                                   << "exbay";
    QTest::newRow("new word in the middle") << "my login" << 3 << "bank "
                                            << "my Bank login";
    QTest::newRow("leading and double blanks") << "" << 0 << " a  b"
                                               << " A  B";
    QTest::newRow("only blanks split words") << "" << 0 << "o'brien-smith x.y"
                                             << "O'brien-smith X.y";
    QTest::newRow("accented") << "" << 0 << QString::fromUtf8("élan über") << QString::fromUtf8("Élan Über");
    QTest::newRow("sharp s keeps its length") << "" << 0 << QString::fromUtf8("ßx") << QString::fromUtf8("ßx");
}

void RecordFormTest::capitalisesFirstLetters() {
    QFETCH(QString, before);
    QFETCH(int, caret);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    // One key at a time, as the box reports each edit.
    QString text = before;
    for (const QChar c : typed) {
        text.insert(caret++, c);
        text = capitaliseTypedLetter(text, caret);
    }
    QCOMPARE(text, shown);
}

void RecordFormTest::notesAreStoredWithCrLf_data() {
    QTest::addColumn<QString>("editor");
    QTest::addColumn<QString>("stored");
    QTest::newRow("LF") << "a\nb\n"
                        << "a\r\nb\r\n";
    QTest::newRow("CR LF stays") << "a\r\nb"
                                 << "a\r\nb";
    QTest::newRow("lone CR") << "a\rb"
                             << "a\r\nb";
    QTest::newRow("paragraph separator") << QString("a") + QChar::ParagraphSeparator + "b"
                                         << "a\r\nb";
    QTest::newRow("blank lines") << "a\n\nb"
                                 << "a\r\n\r\nb";
    QTest::newRow("one line") << "pin 1234"
                              << "pin 1234";
}

void RecordFormTest::notesAreStoredWithCrLf() {
    QFETCH(QString, editor);
    QFETCH(QString, stored);
    QCOMPARE(notesForStore(editor), stored);
    // Back in the editor the text has plain LF breaks, and storing it again changes nothing.
    QVERIFY(!notesForEditor(stored).contains(QLatin1Char('\r')));
    QCOMPARE(notesForStore(notesForEditor(stored)), stored);
}

void RecordFormTest::savingQuotesEveryText() {
    SiteRecord typed;
    for (int k = 0; k < Col::TextColumns; ++k) {
        typed[k] = QStringLiteral("O'Brien %1").arg(k);
    }
    typed[Col::Notes] = QStringLiteral("it's\nhere");
    typed[Col::Record] = QStringLiteral("12");
    const SiteRecord saved = recordForSaving(typed);
    for (int k = 0; k < Col::Notes; ++k) {
        QCOMPARE(saved[k], QStringLiteral("O''Brien %1").arg(k));
    }
    QCOMPARE(saved[Col::Notes], QStringLiteral("it''s\r\nhere"));
    QVERIFY(saved[Col::Record].isEmpty());
}

void RecordFormTest::valueAndLabelListStatements() {
    // The statements are sent exactly so, blanks included.
    QCOMPARE(valueListStatement(Col::SiteName),
             QStringLiteral("SELECT DISTINCT sitename  FROM quillbox ORDER BY sitename"));
    QCOMPARE(valueListStatement(Col::FirstMisc + 1),
             QStringLiteral("SELECT DISTINCT misc1     FROM quillbox ORDER BY misc1"));
    QCOMPARE(valueListStatement(Col::Owner), QStringLiteral("SELECT DISTINCT owner     FROM quillbox ORDER BY owner"));
    QCOMPARE(labelListStatement(Col::SiteNameLabel),
             QStringLiteral("SELECT DISTINCT lsitename FROM quillbox ORDER BY lsitename"));
    QCOMPARE(labelListStatement(Col::FirstMisc + 8),
             QStringLiteral("SELECT DISTINCT lmisc5    FROM quillbox ORDER BY lmisc5"));
    QCOMPARE(labelListStatement(Col::FirstMisc + 10),
             QStringLiteral("SELECT DISTINCT lmisc6 FROM quillbox ORDER BY lmisc6"));
    // Labels have no value list, values no label list, and the notes neither.
    QVERIFY(valueListStatement(Col::SiteNameLabel).isEmpty());
    QVERIFY(labelListStatement(Col::SiteName).isEmpty());
    QVERIFY(valueListStatement(Col::Notes).isEmpty());
}

QTEST_GUILESS_MAIN(RecordFormTest)
#include "tst_recordform.moc"
