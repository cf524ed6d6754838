#include "record/RecordActions.h"

#include <QtTest>

using namespace quillbox;

namespace {
SiteRecord mailRecord() {
    SiteRecord r;
    r[Col::SiteNameLabel] = "Site name";
    r[Col::SiteName] = "Mail";
    r[Col::UserNameLabel] = "User name";
    r[Col::PasswordLabel] = "Password";
    r[Col::Password] = "s3cret";
    r[Col::HomePageLabel] = "Home page";
    r[Col::HomePage] = "https://mail.example";
    r[Col::Category] = "Work";
    r[Col::Owner] = "Ann";
    return r;
}
const QString dashes = QString(79, QLatin1Char('-')) + "\r\n";
} // namespace

class RecordActionsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void paddedLabelPutsValuesAtColumn27_data();
    void paddedLabelPutsValuesAtColumn27();
    void clipboardTextOfOneRecord();
    void clipboardTextSkipsHalfPairsAndAddsNotes();
    void homePageAddress_data();
    void homePageAddress();
};

void RecordActionsTest::paddedLabelPutsValuesAtColumn27_data() {
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("padded");
    QTest::newRow("Category") << "Category" << QString("Category: ") + QString(17, ' ');
    QTest::newRow("Owner name") << "Owner name" << QString("Owner name: ") + QString(15, ' ');
    QTest::newRow("23 characters") << QString(23, 'x') << QString(23, 'x') + ":   ";
    QTest::newRow("24 characters") << QString(24, 'x') << QString(24, 'x') + ": ";
    QTest::newRow("30 characters") << QString(30, 'x') << QString(30, 'x') + ": ";
    QTest::newRow("empty") << "" << QString(": ") + QString(25, ' ');
}

void RecordActionsTest::paddedLabelPutsValuesAtColumn27() {
    QFETCH(QString, label);
    QFETCH(QString, padded);
    QCOMPARE(paddedLabel(label), padded);
}

void RecordActionsTest::clipboardTextOfOneRecord() {
    // The user-name pair has no value and is left out; no notes, no notes line.
    const QString expected = "Site name:                 Mail\r\n"
                             "Password:                  s3cret\r\n"
                             "Home page:                 https://mail.example\r\n"
                             "Category:                  Work\r\n"
                             "Owner name:                Ann\r\n"
                             "\r\n" +
                             dashes;
    QCOMPARE(recordClipboardText(mailRecord()), expected);
}

void RecordActionsTest::clipboardTextSkipsHalfPairsAndAddsNotes() {
    SiteRecord r = mailRecord();
    r[Col::UserName] = "ann";
    r[Col::UserNameLabel] = ""; // a value without a label is left out too
    r[Col::FirstMisc] = "PIN";
    r[Col::FirstMisc + 1] = "1234";
    r[Col::FirstMisc + 16] = "A label of twenty-four c"; // free field 9, 24 characters
    r[Col::FirstMisc + 17] = "long";
    r[Col::FirstMisc + 2] = "Label only";
    r[Col::Notes] = "line one\r\nline two";
    const QString expected = "Site name:                 Mail\r\n"
                             "Password:                  s3cret\r\n"
                             "Home page:                 https://mail.example\r\n"
                             "PIN:                       1234\r\n"
                             "A label of twenty-four c: long\r\n"
                             "Category:                  Work\r\n"
                             "Owner name:                Ann\r\n"
                             "\r\n"
                             "Notes:                     line one\r\nline two\r\n" +
                             dashes;
    QCOMPARE(recordClipboardText(r), expected);
}

void RecordActionsTest::homePageAddress_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("opened");
    QTest::newRow("http") << "http://bank.example/login"
                          << "http://bank.example/login";
    QTest::newRow("capital scheme") << "HTTPS://Bank.example"
                                    << "HTTPS://Bank.example";
    QTest::newRow("https without http://") << "https://mail.example"
                                           << "https://mail.example";
    QTest::newRow("text before the scheme") << "see http://x.example"
                                            << "http://x.example";
    QTest::newRow("bare host") << "www.bank.example"
                               << "";
    QTest::newRow("file") << "file:///etc/passwd"
                          << "";
    QTest::newRow("file hiding a web address") << "file:///tmp/a?http://x.example"
                                               << "http://x.example";
    QTest::newRow("other scheme") << "javascript:alert(1)"
                                  << "";
    QTest::newRow("program") << "C:\\Windows\\system32\\calc.exe"
                             << "";
    QTest::newRow("scheme without host") << "http://"
                                         << "";
    QTest::newRow("empty") << ""
                           << "";
}

void RecordActionsTest::homePageAddress() {
    QFETCH(QString, stored);
    QFETCH(QString, opened);
    QCOMPARE(quillbox::homePageAddress(stored), opened);
}

QTEST_GUILESS_MAIN(RecordActionsTest)
#include "tst_recordactions.moc"
