// The encryption settings of bd1 across SQLCipher versions. SQLCipher 4 changed its default
// settings (page size, key derivation, page checksums), so its defaults cannot read a file made
// under SQLCipher 3. Built against SQLCipher 4, the program converts such a file once to the new
// settings and keeps the file as it was beside it; from then on every connection, the sqlcipher
// shell's included, opens it with the key alone.
#pragma once

#include <QString>

namespace tarvino {

// The version of the SQLCipher the program runs on, as it reports itself ("3.4.1", "4.5.5").
QString cipherVersion();
// True when that SQLCipher's defaults are those of version 4 or later.
bool cipherDefaultsAreNewer();

// The name the file keeps beside bd1 once converted: "bd1-sqlcipher3", then "bd1-sqlcipher3-2"
// and so on, so that no earlier copy is ever overwritten.
inline const QString kOldFormatSuffix = QStringLiteral("-sqlcipher3");

struct FormatConversion {
    bool converted = false;
    QString keptCopy; // the file as it was before, when converted
};

// Converts the file at path, when it was made with SQLCipher 3's settings and the program runs on
// SQLCipher 4, into a file with the current settings holding the same tables, rows and indexes.
// The original stays whole under its new name; bd1 is replaced in one step by the complete new
// file, so that a failure at any point leaves bd1 as it was. A file this SQLCipher opens with its
// defaults, one the key does not open, or a program on SQLCipher 3 leaves everything untouched.
// Throws DbError when the conversion fails.
FormatConversion convertOldFormat(const QString& path, const QString& key);

// For a program on SQLCipher 3 that cannot open bd1: when the file was converted by a program on
// SQLCipher 4 (its old copy lies beside it), the words that say so; empty otherwise.
QString newerFormatAdvice(const QString& path);

} // namespace tarvino
