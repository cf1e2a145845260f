#include "views/items/filedrag.h"

#include <QDrag>
#include <QFileInfo>
#include <QImage>
#include <QMimeData>
#include <QPixmap>
#include <QWidget>

#include "views/items/itemrules.h"

namespace qv::FileDrag {

QMimeData *makeData(const QUrl &url)
{
    auto *data = new QMimeData;
    if (url.isLocalFile() && QFileInfo::exists(url.toLocalFile()))
        data->setUrls({url});
    return data;
}

QMimeData *makeData(const ShelfItem &item)
{
    const std::optional<QUrl> web = ItemRules::webAddress(item);
    if (!web)
        return makeData(item.url);
    auto *data = new QMimeData;
    data->setUrls({*web});
    data->setText(web->toString());
    return data;
}

bool run(QWidget *source, QMimeData *data, const QImage &picture)
{
    auto *drag = new QDrag(source);
    drag->setMimeData(data);
    if (!picture.isNull())
        drag->setPixmap(
            QPixmap::fromImage(picture.scaled(64, 64, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    return drag->exec(Qt::CopyAction) != Qt::IgnoreAction;
}

} // namespace qv::FileDrag
