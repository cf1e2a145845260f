#pragma once

#include "platform/dragendreport.h"

namespace qv {

// Drags of our items leave through Qt's own drag (QDrag), which holds the pointer until the drop,
// so the release is seen here, not by other applications: while monitoring, the application's
// left-button releases are watched, and the view that ran the drag reports its outcome with
// dragFinished(). A drag another application accepted leaves nothing on offer (dragTypes() empty);
// a cancelled one still offers its file list.
class X11DragEndReport final : public DragEndReport
{
    Q_OBJECT
public:
    void startMonitoring() override;
    void stopMonitoring() override;
    bool isMonitoring() const override { return m_monitoring; }
    QStringList dragTypes() const override { return m_types; }

    void dragFinished(bool taken) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool m_monitoring = false;
    QStringList m_types;
};

} // namespace qv
