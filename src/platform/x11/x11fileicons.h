#pragma once

#include <QHash>
#include <QImage>
#include <QMutex>
#include <QObject>

#include "platform/fileicons.h"

namespace qv {

// Icons from the desktop's icon theme by the file's MIME type (its own icon, then its generic one);
// without a theme icon, a plain drawn document. The theme is only consulted on the main thread (Qt's
// icon loader is not thread-safe): a call from another thread answers from what the main thread
// has looked up before, else waits briefly for the main thread to look it up (the drawn document
// when it does not answer in time).
class X11FileIcons final : public QObject, public FileIconService
{
    Q_OBJECT
public:
    QImage iconForFile(const QString &path) override;

    static constexpr int iconSize = 64;

private:
    // Theme icon of a MIME type (null when the theme has none); main thread.
    QImage lookUp(const QString &mimeName);

    QMutex m_mutex;
    QHash<QString, QImage> m_cache;
};

} // namespace qv
