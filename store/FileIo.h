#pragma once
// Whole-file reads and atomic rewrites for the store's data files.

#include <QByteArray>
#include <QString>

namespace qiva {

// Every byte of the file. Throws StoreError when it cannot be opened or read.
QByteArray ReadAllBytes(const QString& path);

// Replaces the file with `bytes` through a temporary file in the same folder, so a failure part-way leaves
// the previous file exactly as it was. Throws StoreError when the file cannot be created or written.
void WriteAtomically(const QString& path, const QByteArray& bytes);

// A double quote would end a quoted field early on reading, so such text is refused before anything is
// written. Throws StoreError naming `what`.
void RefuseDoubleQuote(const QString& text, const char* what);

}  // namespace qiva
