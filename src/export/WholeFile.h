#pragma once
// Writing an export's file whole, and the files that no export may write over.
#include <QByteArray>
#include <QFileDevice>
#include <QString>

namespace WholeFile {

// Why the file must not be written by an export: it is one of the embedded database's
// files (the database itself, its -wal, -shm or -journal), which a save would replace
// under SQLite's feet. Empty when it may be written.
QString refusal(const QString &fileName);

// Writes the bytes as the whole new content of the file, through a temporary file beside
// it that then takes its place, so that a failure leaves the old file as it was. With
// inPlaceFallback, an existing writable file in a folder where no temporary file can be
// made is written in place instead (and only then). Returns the reason of a failure in
// words, empty on success.
QString write(const QString &fileName, const QByteArray &bytes, bool inPlaceFallback);

// Why writing `target` through `file` failed, in words: the room left on the disk when
// that is what failed, else the system's reason; `needed` is the size being written.
QString failure(const QFileDevice &file, const QString &target, qint64 needed);

}  // namespace WholeFile
