#pragma once

#include <QImage>
#include <QList>
#include <QMetaType>
#include <QRectF>
#include <QString>

namespace qv {

// One listed window, as the preview bubble and the Super Panel show it. Identified by `id`; two
// models are equal when they show the same window with the same snapshot, so a fresh snapshot of a
// window counts as a change while its identity stays.
struct AppWindowModel
{
    // The window server's number of the window.
    qint64 id = 0;
    QString appName;
    // Empty when the window has none.
    QString title;
    // The window's snapshot; the application icon stands in until one is known.
    QImage image;
    qint64 ownerPID = 0;
    QImage appIcon;
    // Empty when the application has none.
    QString bundleIdentifier;
    // Position in the window list of the scan that found the window (before filtering); the last
    // tie-break of the order.
    int sortIndex = 0;
    // Frame in top-left coordinates, as the window list reported it.
    QRectF rect;
    bool isMinimized = false;
    // Wall-clock seconds since 1970 at which `image` was taken.
    double snapshotTime = 0;

    friend bool operator==(const AppWindowModel &a, const AppWindowModel &b)
    {
        return a.id == b.id && a.snapshotTime == b.snapshotTime;
    }
};

} // namespace qv

Q_DECLARE_METATYPE(qv::AppWindowModel)
