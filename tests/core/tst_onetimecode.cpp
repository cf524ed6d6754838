// One-time codes: the published reference codes, secrets and addresses as people paste them, and
// which free field of a record holds one.
#include "otp/OneTimeCode.h"

#include <QtTest>

using namespace quillbox;

namespace {
const QString key20 = QStringLiteral("GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ"); // "12345678901234567890"
const QString key32 = QStringLiteral("GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQGEZA====");
const QString key64 =
    QStringLiteral("GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQGEZDG"
                   "NBVGY3TQOJQGEZDGNA=");
} // namespace

class OneTimeCodeTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void referenceCodes_data();
    void referenceCodes();
    void secretsAndAddresses_data();
    void secretsAndAddresses();
    void secondsUntilNextCode_data();
    void secondsUntilNextCode();
    void codeField_data();
    void codeField();
};

void OneTimeCodeTest::referenceCodes_data() {
    QTest::addColumn<int>("algorithm");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<qint64>("at");
    QTest::addColumn<QString>("code");
    const QByteArray digits = "1234567890123456789012345678901234567890123456789012345678901234";
    const qint64 times[] = {59, 1111111109, 1111111111, 1234567890, 2000000000, 20000000000};
    const struct {
        OtpAlgorithm algorithm;
        qsizetype keyLength;
        const char* codes[6];
    } rows[] = {
        {OtpAlgorithm::Sha1, 20, {"94287082", "07081804", "14050471", "89005924", "69279037", "65353130"}},
        {OtpAlgorithm::Sha256, 32, {"46119246", "68084774", "67062674", "91819424", "90698825", "77737706"}},
        {OtpAlgorithm::Sha512, 64, {"90693936", "25091201", "99943326", "93441116", "38618901", "47863826"}},
    };
    for (const auto& row : rows) {
        for (int i = 0; i < 6; ++i) {
            QTest::addRow("key of %lld bytes at %lld", qint64(row.keyLength), times[i])
                << int(row.algorithm) << digits.left(row.keyLength) << times[i] << QString::fromLatin1(row.codes[i]);
        }
    }
}

void OneTimeCodeTest::referenceCodes() {
    QFETCH(int, algorithm);
    QFETCH(QByteArray, key);
    QFETCH(qint64, at);
    QFETCH(QString, code);
    OtpSecret secret;
    secret.key = key;
    secret.algorithm = OtpAlgorithm(algorithm);
    secret.digits = 8;
    QCOMPARE(oneTimeCode(secret, at), code);
}

void OneTimeCodeTest::secretsAndAddresses_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("at");
    QTest::addColumn<QString>("code");   // empty: the text is refused
    QTest::addColumn<QString>("issuer"); // or, when refused, what the error must name
    QTest::addColumn<QString>("account");
    const QString address = QStringLiteral("otpauth://totp/ACME:alice?secret=") + key20;
    QTest::newRow("bare") << key20 << 59ll << "287082"
                          << ""
                          << "";
    QTest::newRow("bare, grouped, lower case") << " gezd gnbv-gy3t qojq gezdgnbv gy3tqojq\n"
                                               << 59ll << "287082"
                                               << ""
                                               << "";
    QTest::newRow("bare, padded") << key32 << 59ll << "599872"
                                  << ""
                                  << "";
    QTest::newRow("bare, unpadded") << key32.chopped(4) << 59ll << "599872"
                                    << ""
                                    << "";
    QTest::newRow("address, SHA-256") << "otpauth://totp/ACME:alice?secret=" + key32 + "&algorithm=SHA256&digits=8"
                                      << 59ll << "46119246"
                                      << "ACME"
                                      << "alice";
    QTest::newRow("address, other case") << "OTPAUTH://TOTP/?SECRET=" + key32.chopped(4) + "&Algorithm=sha256&DIGITS=8"
                                         << 1111111109ll << "68084774"
                                         << ""
                                         << "";
    QTest::newRow("address, ten digits") << "otpauth://totp/x?algorithm=SHA512&digits=10&secret=" + key64 << 59ll
                                         << "0490693936"
                                         << ""
                                         << "x";
    QTest::newRow("address, issuer wins, period 60")
        << "otpauth://totp/Old%20Co%3Aalice%40example.com?secret=" + key20 + "&issuer=New%20Co&period=60&digits=8"
        << 118ll << "94287082"
        << "New Co"
        << "alice@example.com";
    QTest::newRow("bad character") << "GEZDGNBV1Y3T" << 0ll << ""
                                   << "1"
                                   << "";
    QTest::newRow("padding inside") << "GEZD==GNBV" << 0ll << ""
                                    << ""
                                    << "";
    QTest::newRow("empty") << " - " << 0ll << ""
                           << ""
                           << "";
    QTest::newRow("counter-based") << "otpauth://hotp/ACME?counter=1&secret=" + key20 << 0ll << ""
                                   << ""
                                   << "";
    QTest::newRow("5 digits") << address + "&digits=5" << 0ll << ""
                              << "5"
                              << "";
    QTest::newRow("11 digits") << address + "&digits=11" << 0ll << ""
                               << "11"
                               << "";
    QTest::newRow("period 10") << address + "&period=10" << 0ll << ""
                               << "10"
                               << "";
    QTest::newRow("MD5") << address + "&algorithm=MD5" << 0ll << ""
                         << "MD5"
                         << "";
    QTest::newRow("no secret") << "otpauth://totp/ACME:alice?issuer=ACME" << 0ll << ""
                               << ""
                               << "";
    QTest::newRow("empty secret") << "otpauth://totp/ACME:alice?secret=" << 0ll << ""
                                  << ""
                                  << "";
}

void OneTimeCodeTest::secretsAndAddresses() {
    QFETCH(QString, text);
    QFETCH(qint64, at);
    QFETCH(QString, code);
    QFETCH(QString, issuer);
    QFETCH(QString, account);
    const OtpParse parse = parseOneTimeSecret(text);
    if (code.isEmpty()) {
        QVERIFY(!parse.secret);
        QVERIFY(!parse.error.isEmpty());
        QVERIFY2(parse.error.contains(issuer), qPrintable(parse.error));
        return;
    }
    QVERIFY2(parse.secret, qPrintable(parse.error));
    QCOMPARE(oneTimeCode(*parse.secret, at), code);
    QCOMPARE(parse.secret->issuer, issuer);
    QCOMPARE(parse.secret->account, account);
    QCOMPARE(isOneTimeAddress(text), text.contains(QLatin1String("://")));
}

void OneTimeCodeTest::secondsUntilNextCode_data() {
    QTest::addColumn<int>("period");
    QTest::addColumn<qint64>("at");
    QTest::addColumn<int>("left");
    QTest::newRow("step start") << 30 << 60ll << 30;
    QTest::newRow("step end") << 30 << 59ll << 1;
    QTest::newRow("long period") << 120 << 1111111109ll << 91;
    QTest::newRow("before 1970") << 30 << -7ll << 30;
}

void OneTimeCodeTest::secondsUntilNextCode() {
    QFETCH(int, period);
    QFETCH(qint64, at);
    QFETCH(int, left);
    OtpSecret secret;
    secret.period = period;
    QCOMPARE(quillbox::secondsUntilNextCode(secret, at), left);
}

void OneTimeCodeTest::codeField_data() {
    QTest::addColumn<QStringList>("fields"); // "pair|label|value"
    QTest::addColumn<int>("pair");
    const QString address = "otpauth://totp/ACME?secret=" + key20;
    QTest::newRow("none") << QStringList{"1|PIN|1234", "2|Note|otpauth://hotp/x?secret=" + key20} << 0;
    QTest::newRow("labelled") << QStringList{"1|PIN|1234", "3| one-time CODE |" + key20} << 3;
    QTest::newRow("labelled, empty") << QStringList{"2|TOTP| "} << 0;
    QTest::newRow("labelled, malformed") << QStringList{"4|otp|not a secret"} << 4;
    QTest::newRow("unlabelled address, last pair") << QStringList{"9||" + address} << 9;
    QTest::newRow("first wins") << QStringList{"2|OTP|" + key20, "5||" + address} << 2;
}

void OneTimeCodeTest::codeField() {
    QFETCH(QStringList, fields);
    QFETCH(int, pair);
    SiteRecord record;
    for (const QString& field : fields) {
        const QStringList parts = field.split(QLatin1Char('|'));
        const int k = parts[0].toInt();
        const int column = Col::FirstMisc + 2 * (k - 1);
        record[column] = parts[1];
        record[column + 1] = parts.mid(2).join(QLatin1Char('|'));
    }
    QCOMPARE(oneTimeCodeField(record), pair);
}

QTEST_GUILESS_MAIN(OneTimeCodeTest)
#include "tst_onetimecode.moc"
