#include "platform/x11/x11fileicons.h"

#include <QFileInfo>
#include <QIcon>
#include <QMimeDatabase>
#include <QPainter>
#include <QPainterPath>

namespace qv {

namespace {

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

QImage X11FileIcons::iconForFile(const QString &path)
{
    const QFileInfo info(path);
    const QMimeType type = QMimeDatabase().mimeTypeForFile(
        info, info.exists() ? QMimeDatabase::MatchDefault : QMimeDatabase::MatchExtension);
    {
        QMutexLocker lock(&m_mutex);
        const QIcon icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
        if (!icon.isNull()) {
            const QImage image = icon.pixmap(iconSize, iconSize).toImage();
            if (!image.isNull())
                return image;
        }
    }
    return drawnDocument(info.isDir() ? QString() : info.suffix());
}

} // namespace qv
