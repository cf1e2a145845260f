#pragma once

#include <QMutex>

#include "platform/fileicons.h"

namespace qv {

// Icons from the desktop's icon theme by the file's MIME type (its own icon, then its generic one);
// without a theme icon, a plain drawn document. Theme lookups are serialised: any thread may ask.
class X11FileIcons final : public FileIconService
{
public:
    QImage iconForFile(const QString &path) override;

    static constexpr int iconSize = 64;

private:
    QMutex m_mutex;
};

} // namespace qv
