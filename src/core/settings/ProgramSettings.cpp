#include "settings/ProgramSettings.h"

#include "settings/IniDocument.h"
#include "settings/Shortcuts.h"
#include "store/AtomicFile.h"

#include <QFile>

#include <algorithm>
#include <vector>

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

Result writeBytes(const QString& fileName, const QByteArray& bytes) {
    // The file holds the password fingerprint: it is replaced whole or left as it was.
    if (const Result written = writeFileAtomically(fileName, bytes, true); !written) {
        return Result::failure(QStringLiteral("The settings file could not be written: %1").arg(written.error()));
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

Result ensureExists(const QString& fileName) {
    if (QFile::exists(fileName)) {
        return {};
    }
    return writeBytes(fileName, defaultSettingsBytes());
}
} // namespace

const std::array<QString, CommandCount>& shortcutKeys() {
    static const std::array<QString, CommandCount> keys = [] {
        std::array<QString, CommandCount> list;
        for (const CommandRow& row : commandTable) {
            list[static_cast<size_t>(row.slot)] = QStringView(row.settingsKey).toString();
        }
        return list;
    }();
    return keys;
}

namespace {
// Every key of the first two groups, in file order: what the default file holds, how a key is read
// and under which spelling the full save writes it.
struct SettingsField {
    const QString& group;
    QString key;
    int ProgramSettings::*number = nullptr;   // a whole number, or else
    QString ProgramSettings::*text = nullptr; // a text
    // Keys added since the first files were written: a file without them reads the default.
    bool added = false;
    // The full save has always written this key with a capital "Or"; the reader and the default
    // file spell it "or". Files out there hold both, so both stay.
    QString savedKey = QString();

    QString keyWhenSaved() const { return savedKey.isEmpty() ? key : savedKey; }
};

const std::vector<SettingsField>& settingsFields() {
    using S = ProgramSettings;
    static const std::vector<SettingsField> fields{
        {ProgramOptions, QStringLiteral("Tool tips On or Off"), &S::optToolTips, nullptr, false,
         QStringLiteral("Tool tips On Or Off")},
        {ProgramOptions, QStringLiteral("Animate windows"), &S::optFading},
        {ProgramOptions, QStringLiteral("Screen snap On or Off"), &S::optSnap},
        {ProgramOptions, QStringLiteral("Show private data in list"), &S::optShowPrivate},
        {ProgramOptions, QStringLiteral("Title bar update On or Off"), &S::optTitleClock},
        {ProgramOptions, Fingerprint, nullptr, &S::passwordFingerprint},
        {ProgramOptions, ClearClipboard, &S::optClearClipboard, nullptr, true},
        {ProgramOptions, ClipboardSeconds, &S::clipboardSeconds, nullptr, true},
        {ProgramOptions, IdleLockMinutes, &S::idleLockMinutes, nullptr, true},
        {ProgramOptions, HistoryVersions, &S::historyVersions, nullptr, true},
        {SavedSearches, LastOwner, nullptr, &S::lastOwner},
        {SavedSearches, QStringLiteral("Last Category Displayed"), nullptr, &S::lastCategory},
        {SavedSearches, QStringLiteral("Last Search Field Displayed"), &S::lastSearchField},
        {SavedSearches, QStringLiteral("Last Search Type Used"), &S::lastSearchType},
        {SavedSearches, QStringLiteral("Last Search Text Displayed"), nullptr, &S::lastSearchText},
        {SavedSearches, QStringLiteral("Main Window Geometry"), nullptr, &S::mainWindowGeometry, true},
        {SavedSearches, QStringLiteral("List Columns Shown"), nullptr, &S::listColumns, true},
    };
    return fields;
}

QString valueText(const SettingsField& field, const ProgramSettings& s) {
    return field.number ? QString::number(s.*field.number) : s.*field.text;
}
} // namespace

ProgramSettings defaultSettings() {
    ProgramSettings s;
    s.shortcutCodes = defaultShortcutCodes();
    return s;
}

int clipboardDelaySeconds(const ProgramSettings& s) {
    return std::clamp(s.clipboardSeconds, 1, MaxClipboardSeconds);
}

int historyVersions(const ProgramSettings& s) {
    return std::clamp(s.historyVersions, 0, MaxKeptVersions);
}

int idleLockMinutes(const ProgramSettings& s) {
    return std::clamp(s.idleLockMinutes, 0, MaxIdleMinutes);
}

QByteArray defaultSettingsBytes() {
    const ProgramSettings d = defaultSettings();
    IniDocument doc;
    const QString* group = nullptr;
    for (const SettingsField& field : settingsFields()) {
        if (group != &field.group) {
            group = &field.group;
            writeGroupHeader(doc, field.group);
        }
        doc.setValue(field.group, field.key, valueText(field, d));
    }
    writeGroupHeader(doc, KeyboardShortcuts);
    for (int i = 0; i < CommandCount; ++i) {
        doc.setValue(KeyboardShortcuts, shortcutKeys()[static_cast<size_t>(i)],
                     QString::number(d.shortcutCodes[static_cast<size_t>(i)]));
    }
    return doc.serialize();
}

Result loadSettings(const QString& fileName, ProgramSettings& s) {
    Result result = ensureExists(fileName);
    IniDocument doc;
    readDocument(fileName, doc); // unreadable: every key reads as empty
    const ProgramSettings d = defaultSettings();
    for (const SettingsField& field : settingsFields()) {
        const QString value = doc.value(field.group, field.key);
        const bool missing = field.added && !doc.hasEntry(field.group, field.key);
        if (field.text) {
            s.*field.text = missing ? d.*field.text : value;
        } else {
            s.*field.number = missing ? d.*field.number : settingsInt(value);
        }
    }
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
        const QString& key = shortcutKeys()[slot];
        s.shortcutCodes[slot] =
            doc.hasEntry(KeyboardShortcuts, key) ? settingsInt(doc.value(KeyboardShortcuts, key)) : fallback;
    }
    return result;
}

Result saveSettings(const QString& fileName, const ProgramSettings& s) {
    Result created = ensureExists(fileName);
    if (!created) {
        return created;
    }
    IniDocument doc;
    if (!readDocument(fileName, doc)) {
        return Result::failure(QStringLiteral("The settings file could not be read."));
    }
    for (const SettingsField& field : settingsFields()) {
        // The fingerprint is written alone the moment it changes, by this program or by the
        // command line beside it; a full save must not put back the older copy held in memory.
        if (field.text == &ProgramSettings::passwordFingerprint && !doc.value(field.group, field.key).isEmpty()) {
            continue;
        }
        doc.setValue(field.group, field.keyWhenSaved(), valueText(field, s));
    }
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

Result writeSetting(const QString& fileName, const QString& group, const QString& key, const QString& value) {
    IniDocument doc;
    if (QFile::exists(fileName) && !readDocument(fileName, doc)) {
        return Result::failure(QStringLiteral("The settings file could not be read."));
    }
    doc.setValue(group, key, value);
    return writeBytes(fileName, doc.serialize());
}

} // namespace quillbox
