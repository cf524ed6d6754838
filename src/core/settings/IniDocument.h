#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace quillbox {

// The settings file's text: groups, "; " comments and "key = value" entries, kept in file order.
// Keys compare without regard to case within their group.
class IniDocument {
public:
    // A file starting with the UTF-8 byte-order mark is UTF-8; any other is Latin-1.
    static IniDocument parse(const QByteArray& bytes);
    // UTF-8 with the byte-order mark, an empty first line and CR LF after every line.
    QByteArray serialize() const;

    // The value of key in group; empty text when either is missing.
    QString value(const QString& group, const QString& key) const;
    // Replaces an existing key (its spelling too) or appends it to its group, adding the group at the end.
    void setValue(const QString& group, const QString& key, const QString& value);
    void addComment(const QString& text);
    void addGroup(const QString& group);

    bool hasGroup(const QString& group) const;
    // Whether the key is written in the group at all, empty or not.
    bool hasEntry(const QString& group, const QString& key) const;

private:
    enum class Kind { Other, Comment, Group, Entry };
    struct Line {
        Kind kind;
        QString text;  // raw text for other and comment lines, name for groups, key for entries
        QString value; // entries only
    };
    int findEntry(const QString& group, const QString& key) const;
    int findGroup(const QString& group) const;

    std::vector<Line> m_lines;
};

// Reads an integer the way the settings file wants it: leading digits (with an optional minus
// sign) after leading blanks; anything else reads as 0.
int settingsInt(const QString& text);

} // namespace quillbox
