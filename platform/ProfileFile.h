#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>

// Reads and writes INI profile files with the classic desktop profile
// semantics: sections and keys are matched without regard to case, blanks
// around a value are dropped, a missing file, section or key yields the
// default, and a write changes exactly one line (or appends one) while every
// other byte of the file is kept.
//
// Text is stored as GB18030, a superset of code page 936. A file that starts
// with a UTF-8 byte-order mark, or is valid UTF-8 with non-ASCII text in it
// (as Linux editors write), is read and written as UTF-8.
//
// Only the first kMaxReadBytes of a file count (a settings file is never
// that big); a write keeps the rest of a bigger file as it is.
namespace Profile {

// Longest value returned, in bytes of the file's encoding: the longest path
// Linux takes, so that a saved path always arrives whole.
inline constexpr int kMaxValueBytes = 4096;
inline constexpr qint64 kMaxReadBytes = 1024 * 1024;

// Parses profile bytes already in memory; the file-based calls use it.
QString lookup(const QByteArray &fileBytes, const QString &section, const QString &key,
               const QString &defaultValue);

// Returns fileBytes with section/key set to value.
QByteArray withValue(const QByteArray &fileBytes, const QString &section, const QString &key,
                     const QString &value);

QString GetPrivateProfileString(const QString &section, const QString &key,
                                const QString &defaultValue, const QString &fileName);

// Key and value pairs, written in this order.
using Entries = QList<std::pair<QString, QString>>;

// Sets all entries in one replacement of the file: afterwards it holds
// either all old or all new values. False, and the file left byte for byte
// as it was, when it cannot be read or written.
bool WritePrivateProfileStrings(const QString &section, const Entries &entries,
                                const QString &fileName);
bool WritePrivateProfileString(const QString &section, const QString &key, const QString &value,
                               const QString &fileName);

} // namespace Profile
