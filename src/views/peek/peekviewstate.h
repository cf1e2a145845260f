#pragma once

#include <QList>
#include <QObject>
#include <QPointF>

#include <optional>

#include "platform/screens.h"
#include "windows/appwindowmodel.h"
#include "windows/snapposition.h"

namespace qv {

// What the peek overlay follows: the engine's drag and peek state and the screens the card is placed
// by. Owned by the overlay controller; every setter announces a real change only. Main thread.
class PeekViewState : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    bool isDragging() const { return m_isDragging; }
    void setDragging(bool dragging);
    std::optional<SnapPosition> dragTargetZone() const { return m_zone; }
    void setDragTargetZone(std::optional<SnapPosition> zone);
    std::optional<AppWindowModel> peekingWindow() const { return m_window; }
    void setPeekingWindow(const std::optional<AppWindowModel> &window);
    // The screens, the main screen and the pointer when the overlay was placed.
    QList<ScreenInfo> screens() const { return m_screens; }
    std::optional<ScreenInfo> mainScreen() const { return m_mainScreen; }
    QPointF mouseLocation() const { return m_mouse; }
    // The line window and screen coordinates flip about (ScreenService::flipHeight).
    double flipHeight() const { return m_flipHeight; }
    void setScreens(const QList<ScreenInfo> &screens, const std::optional<ScreenInfo> &mainScreen,
                    const QPointF &mouse, double flipHeight);
    bool isTranslucent() const { return m_translucent; }
    void setTranslucent(bool translucent);

signals:
    void changed();

private:
    bool m_isDragging = false;
    std::optional<SnapPosition> m_zone;
    std::optional<AppWindowModel> m_window;
    QList<ScreenInfo> m_screens;
    std::optional<ScreenInfo> m_mainScreen;
    QPointF m_mouse;
    double m_flipHeight = 0;
    bool m_translucent = true;
};

} // namespace qv
