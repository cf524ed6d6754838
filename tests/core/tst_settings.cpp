#include "settings/IniDocument.h"
#include "settings/ProgramSettings.h"
#include "settings/Shortcuts.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace quillbox;

class SettingsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void defaultFileByteForByte();
    void missingFileIsCreatedWithDefaults();
    void readsEntries_data();
    void readsEntries();
    void fileWithoutBomIsLatin1AndWrittenBackAsUtf8();
    void fullWriteSpellsFirstKeyWithCapitalOrOnce();
    void garbageAndMissingGroupsLoseNothing();
    void unreadableFileReadsAsZeros();
    void writeSettingKeepsCommentsAndOrder();
    void settingsInt_data();
    void settingsInt();
    void addedKeys_data();
    void addedKeys();

private:
    static QByteArray load(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void store(const QString& file, const QByteArray& bytes) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
};

void SettingsTest::defaultFileByteForByte() {
    const QByteArray rule = "; " + QByteArray(58, '-') + "\r\n";
    const QByteArray header = ";  \r\n" + rule;
    const QByteArray trailer = rule + ";  \r\n";
    QByteArray expected = "\xEF\xBB\xBF\r\n";
    expected += header + "[Program Options]\r\n" + trailer;
    expected += "Tool tips On or Off = 1\r\nAnimate windows = 1\r\nScreen snap On or Off = 1\r\n"
                "Show private data in list = 0\r\nTitle bar update On or Off = 1\r\nMD5 FingerPrint = \r\n"
                "Clear clipboard On or Off = 1\r\nClear clipboard after seconds = 30\r\n"
                "Lock after idle minutes = 10\r\nVersions kept of each record = 10\r\n";
    expected += header + "[Saved Searches]\r\n" + trailer;
    expected += "Last Owner Displayed = \r\nLast Category Displayed = \r\nLast Search Field Displayed = 0\r\n"
                "Last Search Type Used = 0\r\nLast Search Text Displayed = \r\nMain Window Geometry = \r\n"
                "List Columns Shown = 0,1,2,3\r\n";
    expected += header + "[Keyboard Shortcuts]\r\n" + trailer;
    expected += "Exit Quillbox = 262232\r\nEdit PassWord = 262213\r\nLock Quillbox = 262220\r\nAdd Site = 131137\r\n"
                "Copy Site = 131139\r\nCopy To = 131151\r\nDelete Site = 131140\r\nEdit Site = 131141\r\n"
                "Print Site = 131152\r\nSite Home Page = 131159\r\nTag All Sites = 131156\r\n"
                "Import Sites = 131145\r\nExport Sites = 131160\r\nToolTips = 262228\r\nForm Fade = 262214\r\n"
                "Screen Snap = 262227\r\nPass Hide = 262224\r\nTitlebar Time = 262212\r\nReset Fields = 262226\r\n"
                "About Quillbox = 262209\r\nShortCut Keys = 262219\r\nShow Help = 262216\r\n"
                "Copy User Name = 131157\r\nCopy Password = 196675\r\nUndo = 131162\r\nCopy One-Time Code = "
                "196692\r\nPassword Health = 196680\r\n";
    QCOMPARE(defaultSettingsBytes(), expected);
}

void SettingsTest::missingFileIsCreatedWithDefaults() {
    QTemporaryDir dir;
    const QString file = dir.filePath("s.Ini");
    ProgramSettings s;
    s.optToolTips = 7;
    QVERIFY(loadSettings(file, s).ok());
    QCOMPARE(load(file), defaultSettingsBytes());
    const ProgramSettings d = defaultSettings();
    QCOMPARE(s.optToolTips, 1);
    QCOMPARE(s.optFading, 1);
    QCOMPARE(s.optSnap, 1);
    QCOMPARE(s.optShowPrivate, 0);
    QCOMPARE(s.optTitleClock, 1);
    QVERIFY(s.passwordFingerprint.isEmpty());
    QVERIFY(s.lastSearchText.isEmpty());
    QCOMPARE(s.shortcutCodes, d.shortcutCodes);
    QCOMPARE(QFileInfo(file).permissions() & (QFile::ReadOther | QFile::ReadGroup), QFile::Permissions());
}

void SettingsTest::readsEntries_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("lower case key, no blanks")
        << QByteArray("[Program Options]\r\ntool tips on or off=0\r\n") << "Program Options"
        << "Tool tips On or Off"
        << "0";
    QTest::newRow("equals sign inside value")
        << QByteArray("[Saved Searches]\r\nLast Search Text Displayed = a=b = c\r\n") << "Saved Searches"
        << "Last Search Text Displayed"
        << "a=b = c";
    QTest::newRow("leading tabs and blanks")
        << QByteArray("\t [Saved Searches]\r\n \tLast Owner Displayed \t=\t Ann\r\n") << "Saved Searches"
        << "Last Owner Displayed"
        << "Ann";
    QTest::newRow("LF only line ends") << QByteArray("[Saved Searches]\nLast Owner Displayed = Bo\n")
                                       << "Saved Searches"
                                       << "Last Owner Displayed"
                                       << "Bo";
    QTest::newRow("key in another group")
        << QByteArray("[Other]\nLast Owner Displayed = X\n[Saved Searches]\n") << "Saved Searches"
        << "Last Owner Displayed"
        << "";
    QTest::newRow("commented out") << QByteArray("[Saved Searches]\n;Last Owner Displayed = X\n") << "Saved Searches"
                                   << "Last Owner Displayed"
                                   << "";
    QTest::newRow("utf8 with bom") << QByteArray(
                                          "\xEF\xBB\xBF\r\n[Saved Searches]\r\nLast Owner Displayed = J\xC3\xB8rn\r\n")
                                   << "Saved Searches"
                                   << "Last Owner Displayed" << QString::fromUtf8("Jørn");
}

void SettingsTest::readsEntries() {
    QFETCH(QByteArray, text);
    QFETCH(QString, group);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QCOMPARE(IniDocument::parse(text).value(group, key), value);
}

void SettingsTest::fileWithoutBomIsLatin1AndWrittenBackAsUtf8() {
    QTemporaryDir dir;
    const QString file = dir.filePath("s.Ini");
    store(file, "[Saved Searches]\r\nLast Owner Displayed = Ren\xE9\r\nLast Category Displayed = \xC3\xA9\r\n");
    ProgramSettings s;
    QVERIFY(loadSettings(file, s).ok());
    QCOMPARE(s.lastOwner, QString::fromUtf8("René"));
    QCOMPARE(s.lastCategory, QString::fromLatin1("\xC3\xA9")); // UTF-8 bytes without the mark read as Latin-1
    QVERIFY(saveSettings(file, s).ok());
    const QByteArray written = load(file);
    QVERIFY(written.startsWith("\xEF\xBB\xBF\r\n"));
    QVERIFY(written.contains("Last Owner Displayed = Ren\xC3\xA9\r\n"));
    ProgramSettings again;
    QVERIFY(loadSettings(file, again).ok());
    QCOMPARE(again.lastOwner, s.lastOwner);
}

void SettingsTest::fullWriteSpellsFirstKeyWithCapitalOrOnce() {
    QTemporaryDir dir;
    const QString file = dir.filePath("s.Ini");
    ProgramSettings s = defaultSettings();
    s.optToolTips = 0;
    s.lastSearchText = "x = y";
    QVERIFY(saveSettings(file, s).ok());
    QVERIFY(saveSettings(file, s).ok());
    const QByteArray written = load(file);
    QCOMPARE(written.count("Tool tips On Or Off = 0\r\n"), 1);
    QVERIFY(!written.contains("Tool tips On or Off"));
    QCOMPARE(written.count("\r\n"), defaultSettingsBytes().count("\r\n"));
    ProgramSettings back;
    QVERIFY(loadSettings(file, back).ok());
    QCOMPARE(back.optToolTips, 0);
    QCOMPARE(back.lastSearchText, QStringLiteral("x = y"));
}

void SettingsTest::garbageAndMissingGroupsLoseNothing() {
    QTemporaryDir dir;
    const QString file = dir.filePath("s.Ini");
    store(file, "garbage line\r\n[Program Options]\r\nAnimate windows = yes\r\nScreen snap On or Off = 1junk\r\n"
                "; my note\r\n");
    ProgramSettings s;
    QVERIFY(loadSettings(file, s).ok());
    QCOMPARE(s.optFading, 0);   // non-numeric reads as 0
    QCOMPARE(s.optSnap, 1);     // leading digits count
    QCOMPARE(s.optToolTips, 0); // missing key reads as 0
    QCOMPARE(s.shortcutCodes[0], 0);
    s.lastOwner = "Ann";
    QVERIFY(saveSettings(file, s).ok());
    const QByteArray written = load(file);
    QVERIFY(written.contains("garbage line\r\n"));
    QVERIFY(written.contains("; my note\r\n"));
    ProgramSettings back;
    QVERIFY(loadSettings(file, back).ok());
    QCOMPARE(back.lastOwner, QStringLiteral("Ann"));
    for (int slot = 0; slot < FirstAddedCommand; ++slot) {
        const QString& key = shortcutKeys()[static_cast<size_t>(slot)];
        QVERIFY2(written.contains(key.toUtf8() + " = 0\r\n"), qPrintable(key));
    }
}

void SettingsTest::unreadableFileReadsAsZeros() {
    QTemporaryDir dir;
    const QString file = dir.filePath("folder.Ini");
    QVERIFY(QDir().mkdir(file)); // a folder where the file should be
    ProgramSettings s = defaultSettings();
    (void)loadSettings(file, s);
    QCOMPARE(s.optToolTips, 0);
    QCOMPARE(s.shortcutCodes[3], 0);
    QVERIFY(!saveSettings(file, s).ok());
}

void SettingsTest::writeSettingKeepsCommentsAndOrder() {
    QTemporaryDir dir;
    const QString file = dir.filePath("s.Ini");
    store(file, defaultSettingsBytes());
    QVERIFY(writeSetting(file, "Program Options", "md5 fingerprint", "abc").ok());
    QByteArray expected = defaultSettingsBytes();
    expected.replace("MD5 FingerPrint = \r\n", "md5 fingerprint = abc\r\n");
    QCOMPARE(load(file), expected);
    QVERIFY(writeSetting(file, "New Group", "Key", "v").ok());
    QVERIFY(load(file).endsWith("[New Group]\r\nKey = v\r\n"));
    QCOMPARE(readSetting(file, "Program Options", "MD5 FINGERPRINT"), QStringLiteral("abc"));
}

void SettingsTest::settingsInt_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("plain") << "262232" << 262232;
    QTest::newRow("negative") << "-5" << -5;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("words") << "on" << 0;
    QTest::newRow("trailing junk") << "12abc" << 12;
    QTest::newRow("leading blank") << "  3" << 3;
    QTest::newRow("overflow clamps") << "99999999999999" << 2147483647;
}

void SettingsTest::settingsInt() {
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(quillbox::settingsInt(text), value);
}

// The options and shortcuts added since the first versions: a file of an earlier version reads their
// defaults, a file of this version what it says, and either comes back from a save as it was read.
void SettingsTest::addedKeys_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QList<int>>("expected"); // clearing, seconds, idle minutes, user name key, password key
    QByteArray earlier = defaultSettingsBytes();
    for (const char* line :
         {"Clear clipboard On or Off = 1\r\n", "Clear clipboard after seconds = 30\r\n",
          "Lock after idle minutes = 10\r\n", "Copy User Name = 131157\r\n", "Copy Password = 196675\r\n"}) {
        QVERIFY(earlier.contains(line));
        earlier.replace(line, "");
    }
    QTest::newRow("earlier version's file") << earlier << QList<int>{1, 30, 10, 131157, 196675};
    QByteArray taken = earlier;
    taken.replace("Exit Quillbox = 262232", "Exit Quillbox = 131157"); // Ctrl+U
    QTest::newRow("earlier file giving Ctrl+U to Exit") << taken << QList<int>{1, 30, 10, 0, 196675};
    QTest::newRow("this version's file")
        << QByteArray("\xEF\xBB\xBF\r\n[Program Options]\r\nClear clipboard On or Off = 0\r\n"
                      "Clear clipboard after seconds = 45\r\nLock after idle minutes = 0\r\n"
                      "[Keyboard Shortcuts]\r\nCopy User Name = 0\r\nCopy Password = 131147\r\n")
        << QList<int>{0, 45, 0, 0, 131147};
    QTest::newRow("keys in another case, values garbled")
        << QByteArray("[Program Options]\r\nclear clipboard on or off=yes\r\nLOCK AFTER IDLE MINUTES = 5m\r\n")
        << QList<int>{0, 30, 5, 131157, 196675};
}

void SettingsTest::addedKeys() {
    QFETCH(QByteArray, text);
    QFETCH(QList<int>, expected);
    QTemporaryDir dir;
    const QString file = dir.filePath("s.Ini");
    store(file, text);
    auto values = [](const ProgramSettings& s) {
        return QList<int>{s.optClearClipboard, s.clipboardSeconds, s.idleLockMinutes,
                          s.shortcutCodes[FirstAddedCommand], s.shortcutCodes[FirstAddedCommand + 1]};
    };
    ProgramSettings read;
    QVERIFY(loadSettings(file, read).ok());
    QCOMPARE(values(read), expected);
    QVERIFY(saveSettings(file, read).ok());
    ProgramSettings again;
    QVERIFY(loadSettings(file, again).ok());
    QCOMPARE(values(again), expected);
    QCOMPARE(again.shortcutCodes, read.shortcutCodes); // the 22 older keys come back as they were
    QCOMPARE(readSetting(file, SettingsKey::ProgramOptions, "Lock after idle minutes"), QString::number(expected[2]));
    QCOMPARE(readSetting(file, SettingsKey::KeyboardShortcuts, "Copy Password"), QString::number(expected[4]));
}

QTEST_MAIN(SettingsTest)
#include "tst_settings.moc"
