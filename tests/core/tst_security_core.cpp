#include "geometry/Snapping.h"
#include "settings/Password.h"

#include <QRegularExpression>
#include <QtTest>

using namespace quillbox;

class SecurityCoreTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fingerprintDigestsWholeText_data();
    void fingerprintDigestsWholeText();
    void halfSharedPasswordsOnlyMatchTheLegacyForm();
    void matchRefusesEmptyOnEitherSide();
    void lengthRule_data();
    void lengthRule();
    void snapping_data();
    void snapping();
    void latchesAreSharedAcrossWindows();
    void windowFitsTheScreen_data();
    void windowFitsTheScreen();
};

void SecurityCoreTest::fingerprintDigestsWholeText_data() {
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("full");
    QTest::addColumn<QString>("legacy");
    // Digests of the UTF-16LE bytes, worked out apart from the program.
    QTest::newRow("latin") << "abcdefgh"
                           << "f9def2b55e4c66041b0cb3af50bff227"
                           << "e4a5fc25f9bbe59ec5606fb8fc093c75";
    QTest::newRow("mixed") << "Quill-test-01"
                           << "21428940a783b26aa2dce3529461be04"
                           << "9c82455f6351ecb8b4d722f4d68b41d2";
    QTest::newRow("accents and euro") << QStringLiteral("pässwörd€1") << "a16f3e44325fcb077afa6cc9209baa28"
                                      << "24394be10af4b308c3ee73fdf06700af";
}

void SecurityCoreTest::fingerprintDigestsWholeText() {
    QFETCH(QString, password);
    QFETCH(QString, full);
    QFETCH(QString, legacy);
    QCOMPARE(md5Fingerprint(password), full);
    QCOMPARE(halfMd5Fingerprint(password), legacy);
    // Both old forms are read, to be rewritten; the new one is salted, so made anew each time.
    QCOMPARE(matchFingerprint(password, full), FingerprintMatch::Legacy);
    QCOMPARE(matchFingerprint(password, legacy), FingerprintMatch::Legacy);
    const QString current = passwordFingerprint(password, {1, MinKdfMemoryMiB});
    QVERIFY(QRegularExpression(QStringLiteral(R"(^\$argon2id\$v=19\$m=8192,t=1,p=1\$)")).match(current).hasMatch());
    QVERIFY(current != passwordFingerprint(password, {1, MinKdfMemoryMiB}));
    QCOMPARE(matchFingerprint(password, current), FingerprintMatch::Current);
    QCOMPARE(matchFingerprint(password + QLatin1Char('x'), current), FingerprintMatch::None);
}

void SecurityCoreTest::halfSharedPasswordsOnlyMatchTheLegacyForm() {
    // Same length, same first half: the old digest cannot tell them apart, the new one can.
    const QString real = QStringLiteral("abcdefgh");
    const QString impostor = QStringLiteral("abcdWXYZ");
    QCOMPARE(halfMd5Fingerprint(impostor), halfMd5Fingerprint(real));
    QCOMPARE(matchFingerprint(impostor, md5Fingerprint(real)), FingerprintMatch::None);
    QCOMPARE(matchFingerprint(impostor, passwordFingerprint(real, {1, MinKdfMemoryMiB})), FingerprintMatch::None);
}

void SecurityCoreTest::matchRefusesEmptyOnEitherSide() {
    QCOMPARE(matchFingerprint(QString(), md5Fingerprint(QString())), FingerprintMatch::None);
    QCOMPARE(matchFingerprint(QString(), passwordFingerprint(QString(), {1, MinKdfMemoryMiB})), FingerprintMatch::None);
    // A settings file cannot make the check take gigabytes.
    QCOMPARE(matchFingerprint(QStringLiteral("abcdefgh"),
                              QStringLiteral("$argon2id$v=19$m=67108864,t=1,p=1$c2FsdHNhbHRzYWx0$aGFzaGhhc2g")),
             FingerprintMatch::None);
    QCOMPARE(matchFingerprint(QStringLiteral("abcdefgh"), QString()), FingerprintMatch::None);
}

void SecurityCoreTest::lengthRule_data() {
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("7") << QString(7, QLatin1Char('x')) << false;
    QTest::newRow("8") << QString(8, QLatin1Char('x')) << true;
    QTest::newRow("25") << QString(25, QLatin1Char('x')) << true;
    QTest::newRow("128") << QString(128, QLatin1Char('x')) << true;
    QTest::newRow("129") << QString(129, QLatin1Char('x')) << false;
    // Counted in UTF-16 code units: four faces are eight.
    QTest::newRow("surrogates") << QStringLiteral("😀😀😀😀") << true;
}

void SecurityCoreTest::lengthRule() {
    QFETCH(QString, password);
    QFETCH(bool, allowed);
    QCOMPARE(passwordLengthAllowed(password), allowed);
}

void SecurityCoreTest::snapping_data() {
    // A 200 x 100 window dragged about a 1024 x 768 work area; each step proposes a top-left
    // corner and expects where the window ends up.
    QTest::addColumn<QList<QPoint>>("proposed");
    QTest::addColumn<QList<QPoint>>("placed");
    QTest::newRow("left: jump once, free in the band, again after leaving")
        << QList<QPoint>{{30, 300}, {40, 300}, {60, 300}, {30, 300}}
        << QList<QPoint>{{0, 300}, {40, 300}, {60, 300}, {0, 300}};
    QTest::newRow("top") << QList<QPoint>{{300, 49}, {300, 20}, {300, 50}, {300, 10}}
                         << QList<QPoint>{{300, 0}, {300, 20}, {300, 50}, {300, 0}};
    QTest::newRow("right edge") << QList<QPoint>{{800, 300}, {790, 300}, {600, 300}, {780, 300}}
                                << QList<QPoint>{{824, 300}, {790, 300}, {600, 300}, {824, 300}};
    QTest::newRow("bottom edge") << QList<QPoint>{{300, 640}, {300, 630}} << QList<QPoint>{{300, 668}, {300, 630}};
    QTest::newRow("never outside the work area")
        << QList<QPoint>{{30, 300}, {-40, 300}, {900, 700}} << QList<QPoint>{{0, 300}, {0, 300}, {824, 668}};
    QTest::newRow("corner") << QList<QPoint>{{10, 10}} << QList<QPoint>{{0, 0}};
}

void SecurityCoreTest::snapping() {
    QFETCH(QList<QPoint>, proposed);
    QFETCH(QList<QPoint>, placed);
    SnapLatches latches;
    for (qsizetype i = 0; i < proposed.size(); ++i) {
        const QPoint p = proposed.at(i);
        const SnapRect r = snapToBorders({p.x(), p.y(), p.x() + 200, p.y() + 100}, 1024, 768, latches);
        QCOMPARE(QPoint(r.left, r.top), placed.at(i));
        QCOMPARE(r.right - r.left, 200);
        QCOMPARE(r.bottom - r.top, 100);
    }
}

void SecurityCoreTest::latchesAreSharedAcrossWindows() {
    // One window jumps to the left border; another dragged into the band right after does not.
    SnapLatches latches;
    QCOMPARE(snapToBorders({30, 300, 230, 400}, 1024, 768, latches).left, 0);
    QCOMPARE(snapToBorders({20, 200, 420, 500}, 1024, 768, latches).left, 20);
}

void SecurityCoreTest::windowFitsTheScreen_data() {
    // The data form's 629x700 page on a 1920x1080 screen less a task bar and a title bar, at
    // three scalings; and on a screen too narrow as well.
    QTest::addColumn<QSize>("room");
    QTest::addColumn<QSize>("size");
    QTest::newRow("100 %") << QSize(1904, 990) << QSize(629, 700);
    QTest::newRow("150 %") << QSize(1264, 650) << QSize(629 + 14, 650);
    QTest::newRow("200 %") << QSize(944, 470) << QSize(629 + 14, 470);
    QTest::newRow("narrow and short") << QSize(500, 400) << QSize(500, 400);
    QTest::newRow("narrow only") << QSize(500, 990) << QSize(500, 714);
}

void SecurityCoreTest::windowFitsTheScreen() {
    QFETCH(QSize, room);
    QFETCH(QSize, size);
    const WindowSize fitted = fitWindow({629, 700}, {room.width(), room.height()}, 14);
    QCOMPARE(QSize(fitted.width, fitted.height), size);
}

QTEST_GUILESS_MAIN(SecurityCoreTest)
#include "tst_security_core.moc"
