#include "settings/ProgramSettings.h"

#include "settings/IniDocument.h"
#include "settings/Shortcuts.h"
#include "store/AtomicFile.h"

#include <QFile>

#include <algorithm>

namespace quillbox {

namespace {
using namespace SettingsKey;

const QString blankComment = QStringLiteral(" ");
const QString ruleComment = QString(58, QLatin1Char('-'));

void writeGroupHeader(IniDocument& doc, const QString& group) {
    doc.addComment(blankComment);
    doc.addComment(ruleComment);
    doc.addGroup(group);
    doc.addComment(ruleComment);
    doc.addComment(blankComment);
}

SettingsResult writeBytes(const QString& fileName, const QByteArray& bytes) {
    // The file holds the password fingerprint: it is replaced whole or left as it was.
    QString error;
    if (!writeFileAtomically(fileName, bytes, &error, true)) {
        return {false, QStringLiteral("The settings file could not be written: %1").arg(error)};
    }
    return {};
}

bool readDocument(const QString& fileName, IniDocument& doc) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    doc = IniDocument::parse(file.readAll());
    return true;
}

SettingsResult ensureExists(const QString& fileName) {
    if (QFile::exists(fileName)) {
        return {};
    }
    return writeBytes(fileName, defaultSettingsBytes());
}
} // namespace

const std::array<QString, CommandCount>& shortcutKeys() {
    static const std::array<QString, CommandCount> keys{
        QStringLiteral("Exit Quillbox"),  QStringLiteral("Edit PassWord"),  QStringLiteral("Lock Quillbox"),
        QStringLiteral("Add Site"),       QStringLiteral("Copy Site"),      QStringLiteral("Copy To"),
        QStringLiteral("Delete Site"),    QStringLiteral("Edit Site"),      QStringLiteral("Print Site"),
        QStringLiteral("Site Home Page"), QStringLiteral("Tag All Sites"),  QStringLiteral("Import Sites"),
        QStringLiteral("Export Sites"),   QStringLiteral("ToolTips"),       QStringLiteral("Form Fade"),
        QStringLiteral("Screen Snap"),    QStringLiteral("Pass Hide"),      QStringLiteral("Titlebar Time"),
        QStringLiteral("Reset Fields"),   QStringLiteral("About Quillbox"), QStringLiteral("ShortCut Keys"),
        QStringLiteral("Show Help"),      QStringLiteral("Copy User Name"), QStringLiteral("Copy Password")};
    return keys;
}

ProgramSettings defaultSettings() {
    ProgramSettings s;
    s.shortcutCodes = defaultShortcutCodes();
    return s;
}

QByteArray defaultSettingsBytes() {
    const ProgramSettings d = defaultSettings();
    IniDocument doc;
    writeGroupHeader(doc, ProgramOptions);
    doc.setValue(ProgramOptions, QStringLiteral("Tool tips On or Off"), QString::number(d.optToolTips));
    doc.setValue(ProgramOptions, QStringLiteral("Animate windows"), QString::number(d.optFading));
    doc.setValue(ProgramOptions, QStringLiteral("Screen snap On or Off"), QString::number(d.optSnap));
    doc.setValue(ProgramOptions, QStringLiteral("Show private data in list"), QString::number(d.optShowPrivate));
    doc.setValue(ProgramOptions, QStringLiteral("Title bar update On or Off"), QString::number(d.optTitleClock));
    doc.setValue(ProgramOptions, Fingerprint, QString());
    doc.setValue(ProgramOptions, ClearClipboard, QString::number(d.optClearClipboard));
    doc.setValue(ProgramOptions, ClipboardSeconds, QString::number(d.clipboardSeconds));
    doc.setValue(ProgramOptions, IdleLockMinutes, QString::number(d.idleLockMinutes));
    writeGroupHeader(doc, SavedSearches);
    doc.setValue(SavedSearches, QStringLiteral("Last Owner Displayed"), QString());
    doc.setValue(SavedSearches, QStringLiteral("Last Category Displayed"), QString());
    doc.setValue(SavedSearches, QStringLiteral("Last Search Field Displayed"), QStringLiteral("0"));
    doc.setValue(SavedSearches, QStringLiteral("Last Search Type Used"), QStringLiteral("0"));
    doc.setValue(SavedSearches, QStringLiteral("Last Search Text Displayed"), QString());
    writeGroupHeader(doc, KeyboardShortcuts);
    for (int i = 0; i < CommandCount; ++i) {
        doc.setValue(KeyboardShortcuts, shortcutKeys()[static_cast<size_t>(i)],
                     QString::number(d.shortcutCodes[static_cast<size_t>(i)]));
    }
    return doc.serialize();
}

SettingsResult loadSettings(const QString& fileName, ProgramSettings& s) {
    SettingsResult result = ensureExists(fileName);
    IniDocument doc;
    readDocument(fileName, doc); // unreadable: every key reads as empty
    auto flag = [&doc](const QString& key) { return settingsInt(doc.value(ProgramOptions, key)); };
    s.optToolTips = flag(QStringLiteral("Tool tips On or Off"));
    s.optFading = flag(QStringLiteral("Animate windows"));
    s.optSnap = flag(QStringLiteral("Screen snap On or Off"));
    s.optShowPrivate = flag(QStringLiteral("Show private data in list"));
    s.optTitleClock = flag(QStringLiteral("Title bar update On or Off"));
    s.passwordFingerprint = doc.value(ProgramOptions, Fingerprint);
    // Keys added since the first versions: a file written before them reads their defaults.
    const ProgramSettings d = defaultSettings();
    auto added = [&doc](const QString& group, const QString& key, int fallback) {
        return doc.hasEntry(group, key) ? settingsInt(doc.value(group, key)) : fallback;
    };
    s.optClearClipboard = added(ProgramOptions, ClearClipboard, d.optClearClipboard);
    s.clipboardSeconds = added(ProgramOptions, ClipboardSeconds, d.clipboardSeconds);
    s.idleLockMinutes = added(ProgramOptions, IdleLockMinutes, d.idleLockMinutes);
    s.lastOwner = doc.value(SavedSearches, QStringLiteral("Last Owner Displayed"));
    s.lastCategory = doc.value(SavedSearches, QStringLiteral("Last Category Displayed"));
    s.lastSearchField = settingsInt(doc.value(SavedSearches, QStringLiteral("Last Search Field Displayed")));
    s.lastSearchType = settingsInt(doc.value(SavedSearches, QStringLiteral("Last Search Type Used")));
    s.lastSearchText = doc.value(SavedSearches, QStringLiteral("Last Search Text Displayed"));
    for (int i = 0; i < FirstAddedCommand; ++i) {
        s.shortcutCodes[static_cast<size_t>(i)] =
            settingsInt(doc.value(KeyboardShortcuts, shortcutKeys()[static_cast<size_t>(i)]));
    }
    std::fill(s.shortcutCodes.begin() + FirstAddedCommand, s.shortcutCodes.end(), 0);
    for (int i = FirstAddedCommand; i < CommandCount; ++i) {
        const size_t slot = static_cast<size_t>(i);
        // A newer command's default key that the user already gave an older command stays with
        // that command: the newer one starts without a key rather than with one that does nothing.
        int fallback = d.shortcutCodes[slot];
        if (slotHoldingShortcut(s.shortcutCodes, fallback) >= 0) {
            fallback = 0;
        }
        s.shortcutCodes[slot] = added(KeyboardShortcuts, shortcutKeys()[slot], fallback);
    }
    return result;
}

SettingsResult saveSettings(const QString& fileName, const ProgramSettings& s) {
    SettingsResult created = ensureExists(fileName);
    if (!created.ok) {
        return created;
    }
    IniDocument doc;
    if (!readDocument(fileName, doc)) {
        return {false, QStringLiteral("The settings file could not be read.")};
    }
    doc.setValue(ProgramOptions, QStringLiteral("Tool tips On Or Off"), QString::number(s.optToolTips));
    doc.setValue(ProgramOptions, QStringLiteral("Animate windows"), QString::number(s.optFading));
    doc.setValue(ProgramOptions, QStringLiteral("Screen snap On or Off"), QString::number(s.optSnap));
    doc.setValue(ProgramOptions, QStringLiteral("Show private data in list"), QString::number(s.optShowPrivate));
    doc.setValue(ProgramOptions, QStringLiteral("Title bar update On or Off"), QString::number(s.optTitleClock));
    // The fingerprint is written alone the moment it changes, by this program or by the command
    // line beside it; a full save must not put back the older copy held in memory.
    if (doc.value(ProgramOptions, Fingerprint).isEmpty()) {
        doc.setValue(ProgramOptions, Fingerprint, s.passwordFingerprint);
    }
    doc.setValue(ProgramOptions, ClearClipboard, QString::number(s.optClearClipboard));
    doc.setValue(ProgramOptions, ClipboardSeconds, QString::number(s.clipboardSeconds));
    doc.setValue(ProgramOptions, IdleLockMinutes, QString::number(s.idleLockMinutes));
    doc.setValue(SavedSearches, QStringLiteral("Last Owner Displayed"), s.lastOwner);
    doc.setValue(SavedSearches, QStringLiteral("Last Category Displayed"), s.lastCategory);
    doc.setValue(SavedSearches, QStringLiteral("Last Search Field Displayed"), QString::number(s.lastSearchField));
    doc.setValue(SavedSearches, QStringLiteral("Last Search Type Used"), QString::number(s.lastSearchType));
    doc.setValue(SavedSearches, QStringLiteral("Last Search Text Displayed"), s.lastSearchText);
    for (int i = 0; i < CommandCount; ++i) {
        doc.setValue(KeyboardShortcuts, shortcutKeys()[static_cast<size_t>(i)],
                     QString::number(s.shortcutCodes[static_cast<size_t>(i)]));
    }
    return writeBytes(fileName, doc.serialize());
}

QString readSetting(const QString& fileName, const QString& group, const QString& key) {
    IniDocument doc;
    if (!readDocument(fileName, doc)) {
        return QString();
    }
    return doc.value(group, key);
}

SettingsResult writeSetting(const QString& fileName, const QString& group, const QString& key, const QString& value) {
    IniDocument doc;
    if (QFile::exists(fileName) && !readDocument(fileName, doc)) {
        return {false, QStringLiteral("The settings file could not be read.")};
    }
    doc.setValue(group, key, value);
    return writeBytes(fileName, doc.serialize());
}

} // namespace quillbox
