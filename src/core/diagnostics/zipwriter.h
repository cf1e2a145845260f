#pragma once

#include <QString>

namespace qv {

// Packs a folder into a ZIP archive with libzip (in a module loaded at the first archive). Safe from
// any thread.
class ZipWriter
{
public:
    // Writes every file and subfolder of `folder` (paths relative to it, "/"-separated, UTF-8
    // names, deflated) into a ZIP at `destination`. The archive is built in memory and then saved
    // next to the destination and renamed over it, so the destination is either the complete new
    // archive or left as it was. Returns an empty string on success, else a description of the
    // failure.
    static QString writeFolder(const QString &folder, const QString &destination);
};

} // namespace qv
