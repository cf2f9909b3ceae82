// What the PostgreSQL server is told differently from the file: the one place where the program's
// SQL, written for the file, is turned into the server's.
#pragma once

#include <QString>

namespace tarvino {

// The text with each "?" placeholder numbered $1, $2 … in order, skipping string literals,
// quoted identifiers and comments; "is ?" (the file's equality that also matches NULL) becomes
// "is not distinct from $n", and LIKE, which ignores the case of ASCII letters in the file, is
// ILIKE. count, when given, receives the number of placeholders.
QString serverStatementText(const QString& sql, int* count = nullptr);

// A column's type as the server declares it, from the file's declared type: TEXT sorts by bytes
// as the file does, DATETIME is a timestamp whose text is the file's ISO text; a DEFAULT clause
// is kept.
QString serverColumnType(const QString& fileType);

} // namespace tarvino
