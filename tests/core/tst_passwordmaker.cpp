// The password generator and the strength estimate.
#include "settings/PasswordMaker.h"

#include <QFile>
#include <QtTest>

#include <cmath>

using namespace quillbox;

class PasswordMakerTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void passwordsFollowTheRecipe_data();
    void passwordsFollowTheRecipe();
    void drawsAreUniform();
    void passphrasesAreWordsOfTheList();
    void strengthLevels_data();
    void strengthLevels();
};

void PasswordMakerTest::passwordsFollowTheRecipe_data() {
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("classes"); // u l d s, a for avoiding look-alikes
    QTest::addColumn<int>("expectedLength");
    QTest::newRow("default") << 20 << "ulds" << 20;
    QTest::newRow("digits only, shortest") << 8 << "d" << 8;
    QTest::newRow("below the shortest") << 3 << "ul" << 8;
    QTest::newRow("above the longest") << 500 << "ulds" << 128;
    QTest::newRow("no look-alikes") << 64 << "uldsa" << 64;
    QTest::newRow("nothing chosen") << 20 << "" << 0;
}

void PasswordMakerTest::passwordsFollowTheRecipe() {
    QFETCH(int, length);
    QFETCH(QString, classes);
    QFETCH(int, expectedLength);
    PasswordRecipe recipe;
    recipe.length = length;
    recipe.upper = classes.contains('u');
    recipe.lower = classes.contains('l');
    recipe.digits = classes.contains('d');
    recipe.symbols = classes.contains('s');
    recipe.avoidLookAlikes = classes.contains('a');
    const QString alphabet = recipeAlphabet(recipe);
    QString previous;
    for (int i = 0; i < 200; ++i) {
        const QString password = generatePassword(recipe, *QRandomGenerator::global());
        QCOMPARE(password.size(), expectedLength);
        for (QChar c : password) {
            QVERIFY(alphabet.contains(c));
            QVERIFY(!recipe.avoidLookAlikes || !QStringLiteral("0Oo1lI|8B5S2Z6G").contains(c));
        }
        // Every class chosen is there.
        QVERIFY(!recipe.upper || std::any_of(password.begin(), password.end(), [](QChar c) { return c.isUpper(); }));
        QVERIFY(!recipe.digits || std::any_of(password.begin(), password.end(), [](QChar c) { return c.isDigit(); }));
        QVERIFY(expectedLength == 0 || password != previous);
        previous = password;
    }
}

void PasswordMakerTest::drawsAreUniform() {
    // A bound that does not divide 2^32 shows a modulo bias if there is one; chi-squared over
    // 94 cells with 93 degrees of freedom stays under 140 but for one run in ten thousand.
    constexpr quint32 cells = 94;
    constexpr int draws = 94 * 2000;
    std::vector<int> counts(cells);
    QRandomGenerator random(20261208);
    for (int i = 0; i < draws; ++i) {
        ++counts[uniformBelow(random, cells)];
    }
    const double expected = double(draws) / cells;
    double chi2 = 0;
    for (int n : counts) {
        chi2 += (n - expected) * (n - expected) / expected;
    }
    QVERIFY2(chi2 < 140, qPrintable(QString::number(chi2)));
    // The largest bound that needs redraws most: still every value below it.
    for (int i = 0; i < 1000; ++i) {
        QVERIFY(uniformBelow(random, 0x80000001u) < 0x80000001u);
    }
}

void PasswordMakerTest::passphrasesAreWordsOfTheList() {
    QFile file(QStringLiteral(QUILLBOX_WORD_LIST));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList list = readWordList(file.readAll());
    QCOMPARE(list.size(), 7776);
    QCOMPARE(readWordList("11111\tabacus\n11112\tabdomen\n"), (QStringList{"abacus", "abdomen"}));
    const QStringList words = generatePassphrase(6, list, *QRandomGenerator::global()).split('-');
    QCOMPARE(words.size(), 6);
    for (const QString& word : words) {
        QVERIFY(list.contains(word));
    }
}

void PasswordMakerTest::strengthLevels_data() {
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("level");
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("common word") << "password"
                                 << "poor";
    QTest::newRow("keyboard walk") << "qwerty123"
                                   << "poor";
    QTest::newRow("four random words") << "correct-horse-battery-staple"
                                       << "weak";
    QTest::newRow("generated, 20 characters") << "k#9Vq!2mZr$7Lw@4Tx&e"
                                              << "excellent";
}

void PasswordMakerTest::strengthLevels() {
    QFETCH(QString, password);
    QFETCH(QString, level);
    const PasswordStrength strength = passwordStrength(password);
    QVERIFY2(strength.level == level, qPrintable(strengthText(strength)));
    QCOMPARE(strength.weak(), level == QLatin1String("poor") || level == QLatin1String("weak"));
}

QTEST_GUILESS_MAIN(PasswordMakerTest)
#include "tst_passwordmaker.moc"
