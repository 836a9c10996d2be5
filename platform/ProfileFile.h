#pragma once

#include <QByteArray>
#include <QString>

// Reads and writes INI profile files with the classic desktop profile
// semantics: sections and keys are matched without regard to case, blanks
// around a value are dropped, a missing file, section or key yields the
// default, and a write changes exactly one line (or appends one) while every
// other byte of the file is kept.
//
// Text is stored as GB18030, a superset of code page 936. A file that starts
// with a UTF-8 byte-order mark is read and written as UTF-8.
namespace Profile {

// Longest value returned, in bytes of the file's encoding.
inline constexpr int kMaxValueBytes = 299;

// Parses profile bytes already in memory; the file-based calls use it.
QString lookup(const QByteArray &fileBytes, const QString &section, const QString &key,
               const QString &defaultValue);

// Returns fileBytes with section/key set to value.
QByteArray withValue(const QByteArray &fileBytes, const QString &section, const QString &key,
                     const QString &value);

QString GetPrivateProfileString(const QString &section, const QString &key,
                                const QString &defaultValue, const QString &fileName);

// Replaces the file atomically; on failure the old file is left intact.
bool WritePrivateProfileString(const QString &section, const QString &key, const QString &value,
                               const QString &fileName);

} // namespace Profile
