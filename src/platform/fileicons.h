#pragma once

#include <QImage>
#include <QString>

namespace qv {

// The desktop's icon for a file, by its type (the file need not exist any more). Never null: a type
// without an icon of its own gets a generic document picture. Callable from any thread.
class FileIconService
{
public:
    virtual ~FileIconService() = default;
    virtual QImage iconForFile(const QString &path) = 0;
};

} // namespace qv
