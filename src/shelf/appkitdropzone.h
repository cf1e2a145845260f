#pragma once

#include <QWidget>

#include <functional>

#include "shelf/dropdata.h"

class QMimeData;

namespace qv {

class Scheduler;

// A drop target around any content widget: it accepts files, images, image data and web addresses
// from any application as a copy, reads what a drop offers into a DropData and hands it to `onDrop`
// (the shelf's intake). `isTargeting` is true from the moment a drag enters until it leaves or is
// dropped; both changes are applied on a later turn of the main loop, never inside the drag event.
class AppKitDropZone : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool isTargeting READ isTargeting NOTIFY isTargetingChanged)
public:
    // `onDrop` answers whether the drop held anything usable. `content` (may be null) fills the zone.
    AppKitDropZone(Scheduler &scheduler, std::function<bool(const DropData &)> onDrop,
                   QWidget *content = nullptr, QWidget *parent = nullptr);

    bool isTargeting() const { return m_isTargeting; }
    void setContent(QWidget *content);
    QWidget *content() const { return m_content; }

    // What a drag offers, in the shelf's terms: local files, image data by type, an application's
    // own image object, web addresses and the link title of "text/x-moz-url".
    static DropData dropData(const QMimeData &mime);

signals:
    void isTargetingChanged();

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void setTargeting(bool targeting);
    void postTargeting(bool targeting);

    Scheduler &m_scheduler;
    std::function<bool(const DropData &)> m_onDrop;
    QWidget *m_content = nullptr;
    bool m_isTargeting = false;
    // Lets posted targeting changes find out whether the widget still exists.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace qv
