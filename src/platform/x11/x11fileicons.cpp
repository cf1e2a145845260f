#include "platform/x11/x11fileicons.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QSemaphore>
#include <QThread>

#include <memory>

#include "platform/icontheme.h"

namespace qv {

namespace {

constexpr int mainThreadWaitMs = 250;

QImage drawnDocument(const QString &label)
{
    const int side = X11FileIcons::iconSize;
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath page;
    page.addRoundedRect(QRectF(side * 0.18, side * 0.06, side * 0.64, side * 0.88), 4, 4);
    painter.fillPath(page, QColor(235, 235, 240));
    painter.setPen(QPen(QColor(150, 150, 160), 1.5));
    painter.drawPath(page);
    if (!label.isEmpty()) {
        QFont font = painter.font();
        font.setPixelSize(side / 6);
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(QColor(90, 90, 100));
        painter.drawText(QRectF(0, side * 0.55, side, side * 0.3), Qt::AlignCenter, label.left(5).toUpper());
    }
    return image;
}

} // namespace

QImage X11FileIcons::lookUp(const QString &mimeName)
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_cache.contains(mimeName))
            return m_cache.value(mimeName);
    }
    const QImage image = themeIconForMimeType(mimeName, iconSize);
    QMutexLocker lock(&m_mutex);
    m_cache.insert(mimeName, image);
    return image;
}

QImage X11FileIcons::iconForFile(const QString &path)
{
    const QFileInfo info(path);
    const QString mimeName = QMimeDatabase()
                                 .mimeTypeForFile(info, info.exists() ? QMimeDatabase::MatchDefault
                                                                      : QMimeDatabase::MatchExtension)
                                 .name();
    QImage image;
    if (QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread()) {
        image = lookUp(mimeName);
    } else {
        bool known = false;
        {
            QMutexLocker lock(&m_mutex);
            known = m_cache.contains(mimeName);
            image = m_cache.value(mimeName);
        }
        if (!known) {
            // The main thread looks it up while this one waits a little: a file's first icon is
            // the theme's too. A main thread that is busy (or waits for this one) leaves it the
            // drawn page this time.
            const auto looked = std::make_shared<QSemaphore>();
            QMetaObject::invokeMethod(
                this,
                [this, mimeName, looked] {
                    lookUp(mimeName);
                    looked->release();
                },
                Qt::QueuedConnection);
            if (looked->tryAcquire(1, mainThreadWaitMs)) {
                QMutexLocker lock(&m_mutex);
                image = m_cache.value(mimeName);
            }
        }
    }
    return image.isNull() ? drawnDocument(info.isDir() ? QString() : info.suffix()) : image;
}

} // namespace qv
