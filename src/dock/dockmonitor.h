#pragma once

#include <QObject>
#include <QRectF>
#include <QString>

#include <optional>

#include "platform/platform.h"

namespace qv {

class Scheduler;
class SettingsStore;
class WorkQueueFactory;

// Knows where the Dock's application tiles are and which one the pointer rests on.
// Created once at start-up on the main thread; lives as long as the application.
class DockMonitor : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString hoveredApp READ hoveredApp NOTIFY hoveredAppChanged)
    Q_PROPERTY(QRectF iconFrame READ iconFrame NOTIFY iconFrameChanged)
    Q_PROPERTY(bool isDockAutohideEnabled READ isDockAutohideEnabled NOTIFY isDockAutohideEnabledChanged)
public:
    DockMonitor(const Platform &platform, Scheduler &scheduler, WorkQueueFactory &queues, SettingsStore &settings,
                QObject *parent = nullptr);
    ~DockMonitor() override;

    // Empty when no tile is hovered.
    QString hoveredApp() const { return m_hoveredApp; }
    // The hovered tile in screen coordinates; empty when none.
    QRectF iconFrame() const { return m_iconFrame; }
    bool isDockAutohideEnabled() const { return m_isDockAutohideEnabled; }

    // While suspended (the Super Panel is open) no hover is published and refreshes are dropped.
    void setInteractionSuspended(bool suspended);

signals:
    void hoveredAppChanged(const QString &app);
    void iconFrameChanged(const QRectF &frame);
    void isDockAutohideEnabledChanged(bool enabled);

private:
    QString m_hoveredApp;
    QRectF m_iconFrame;
    bool m_isDockAutohideEnabled = false;
};

} // namespace qv
