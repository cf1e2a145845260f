#pragma once

#include <QObject>
#include <QStringList>

namespace qv {

// How a drag of one of our items out of the application ended. While monitoring, mouseUp() is
// emitted when the left button is released after a drag (wherever it is released); afterwards
// dragTypes() tells whether the dragged data is still on offer: an empty list means another
// application took it. Main thread only.
class DragEndReport : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Installs the monitor; a second call while installed changes nothing.
    virtual void startMonitoring() = 0;
    virtual void stopMonitoring() = 0;
    virtual bool isMonitoring() const = 0;
    // The types the drag source still offers; empty once the drag was taken.
    virtual QStringList dragTypes() const = 0;
    // The view that ran a drag of our own reports its end: `taken` when a target accepted the drop.
    // Where the desktop reports drag ends by itself this changes nothing.
    virtual void dragFinished(bool taken) = 0;

signals:
    void mouseUp();
};

} // namespace qv
