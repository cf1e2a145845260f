#pragma once

#include <QByteArray>
#include <QUrl>

namespace qv {

// Copies into the shelf by the names the system uses: file names are bytes on Linux and need not be
// valid UTF-8, so paths here are bytes, never strings that could not name such a file again.
namespace FileCopy {

// NotAFile: the source is no file whose bytes can be copied (a pipe, a device, a file of the
// kernel's own file systems, a file that reports no size yet has something to read).
enum class Outcome { Copied, Failed, NoRoom, NotAFile };

// The path of a local file URL as bytes ("%FF" is the byte 0xFF); empty for any other URL.
QByteArray localPathBytes(const QUrl &fileURL);

// True when the disk keeps at least `minimumFreeBytes` free after `needed` more bytes are written.
bool hasRoom(qint64 needed, qint64 freeBytes, qint64 minimumFreeBytes);

// Copies a regular file (links followed), or a folder with everything in it (links inside copied as
// links; pipes, sockets and devices left out, since reading one could block for ever). A copy is
// judged by the bytes read, not the size reported. Holes of
// sparse files stay holes. Each file is copied only while the disk keeps `minimumFreeBytes` free,
// else the copy is NoRoom. Never replaces an existing entry; on any failure nothing of the copy is
// left behind. Any thread.
Outcome copyEntry(const QByteArray &source, const QByteArray &destination, qint64 minimumFreeBytes);

} // namespace FileCopy

} // namespace qv
