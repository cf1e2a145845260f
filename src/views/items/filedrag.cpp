#include "views/items/filedrag.h"

#include <QDrag>
#include <QFileInfo>
#include <QImage>
#include <QMimeData>
#include <QPixmap>
#include <QWidget>

namespace qv::FileDrag {

QMimeData *makeData(const QUrl &url)
{
    auto *data = new QMimeData;
    if (url.isLocalFile() && QFileInfo::exists(url.toLocalFile()))
        data->setUrls({url});
    return data;
}

void run(QWidget *source, const QUrl &url, const QImage &picture)
{
    auto *drag = new QDrag(source);
    drag->setMimeData(makeData(url));
    if (!picture.isNull())
        drag->setPixmap(
            QPixmap::fromImage(picture.scaled(64, 64, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    drag->exec(Qt::CopyAction);
}

} // namespace qv::FileDrag
