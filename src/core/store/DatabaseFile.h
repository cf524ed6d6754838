#pragma once

#include "crypt/FileKey.h"

#include <QString>

#include <memory>
#include <optional>

namespace quillbox {

// What a database file is, told by its first bytes alone (no password needed).
enum class DatabaseKind {
    Missing,   // no such file
    Empty,     // a file of no bytes: a new database
    Plain,     // an SQLite database
    Encrypted, // one of ours, encrypted
    Unknown,   // neither: not a database, or damaged past telling
};
DatabaseKind databaseKind(const QString& file);
// The header of an encrypted file; nothing when the file is not one.
std::optional<FileHeader> readFileHeader(const QString& file);

struct UnlockResult {
    enum Status { Opened, WrongPassword, NotEncrypted, Unreadable };
    Status status = Unreadable;
    std::shared_ptr<const FileKey> key; // when Opened
    QString error;                      // when Unreadable: why
};

// Derives an encrypted file's key from a typed password and checks it on the file's first two
// pages: the password is right when either opens (one damaged page does not make it wrong).
// Reads only; nothing is ever written.
UnlockResult unlockDatabaseFile(const QString& file, const QString& password);

// Checks a typed password against a key already in use (the change window's old password): the
// key derived from it for that key's file is the same key.
bool passwordMatchesKey(const QString& password, const FileKey& key);

} // namespace quillbox
