#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QWidget>

#include <benchmark/benchmark.h>

#include "windows/appwindowmodel.h"

namespace qv {

// `count` windows of ten applications with snapshots already taken (as the engine's cache has them).
inline QList<AppWindowModel> benchWindows(int count)
{
    QList<AppWindowModel> list;
    for (int i = 0; i < count; ++i) {
        AppWindowModel window;
        window.id = i + 1;
        window.appName = QStringLiteral("App %1").arg(i % 10);
        window.title = QStringLiteral("Document %1 — notes").arg(i);
        // The size the engine captures at.
        window.image = QImage(640, 400, QImage::Format_ARGB32_Premultiplied);
        window.image.fill(QColor::fromHsv((i * 37) % 360, 120, 200));
        window.appIcon = QImage(64, 64, QImage::Format_ARGB32_Premultiplied);
        window.appIcon.fill(QColor::fromHsv((i % 10) * 36, 200, 220));
        window.snapshotTime = 1;
        list.append(window);
    }
    return list;
}

// Paints `view` with its children into `frame`, as the screen would get it.
inline void renderFrame(QWidget &view, QImage &frame)
{
    QPainter painter(&frame);
    view.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    painter.end();
    benchmark::DoNotOptimize(frame.constBits());
}

} // namespace qv
