#pragma once

#include <QApplication>
#include <QPainter>
#include <QStringList>

#include <memory>

#include "runtime/manualscheduler.h"
#include "support/backdrop.h"
#include "views/superpanel/superpaneloverlay.h"
#include "views/superpanel/superpanelstate.h"
#include "windows/windowlistmodel.h"

namespace qv {

// Windows that look like windows: a title bar, a few lines of text, a tint per application.
inline QImage fakeSnapshot(int hue, int seed)
{
    QImage image(800, 500, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor::fromHsv(hue, 40, 235));
    QPainter painter(&image);
    painter.fillRect(0, 0, 800, 44, QColor::fromHsv(hue, 90, 120));
    painter.setBrush(QColor(255, 95, 86));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(16, 14, 16, 16);
    for (int line = 0; line < 9; ++line)
        painter.fillRect(40, 80 + line * 42, 300 + ((seed * 97 + line * 53) % 400), 16,
                         QColor(60, 60, 70, 140));
    return image;
}

inline QImage fakeIcon(int hue, QChar letter)
{
    QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor::fromHsv(hue, 180, 220));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(4, 4, 56, 56), 14, 14);
    painter.setPen(Qt::white);
    QFont font;
    font.setPixelSize(34);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRectF(4, 4, 56, 56), Qt::AlignCenter, QString(letter));
    return image;
}

// `count` windows of a few applications, ids from 1.
inline QList<AppWindowModel> sampleWindows(int count)
{
    static const QStringList apps = {"Terminal", "Files", "Firefox", "Mail", "Calendar", "Editor"};
    static const QStringList topics = {"build log", "Downloads", "Release notes", "Inbox (3)",
                                       "Week 49",   "main.cpp",  "Photos",        "Quarterly report"};
    QList<AppWindowModel> windows;
    for (int i = 0; i < count; ++i) {
        AppWindowModel window;
        window.id = i + 1;
        const int app = i % int(apps.size());
        window.appName = apps.at(app);
        window.title = QStringLiteral("%1 — %2").arg(topics.at(i % topics.size())).arg(i + 1);
        window.ownerPID = 1000 + app;
        window.image = fakeSnapshot(app * 55 % 360, i);
        window.appIcon = fakeIcon(app * 55 % 360, window.appName.at(0));
        window.snapshotTime = 1;
        windows.append(window);
    }
    return windows;
}

// The Super Panel over a simple wallpaper at 1440 x 900, fed by a window list model the test
// fills, recording what it asks for.
class SuperPanelFixture
{
public:
    SuperPanelFixture()
    {
        SuperPanelActions actions;
        auto record = [this](const char *what) {
            return [this, what](const AppWindowModel &window) {
                calls.append(QString::fromLatin1(what) + u':' + window.title);
            };
        };
        actions.card.focusWindow = record("focus");
        actions.card.closeWindow = record("close");
        actions.card.minimizeWindow = record("minimize");
        actions.card.startPeeking = record("peek");
        actions.card.endDrag = record("endDrag");
        actions.hideOtherApplications = record("hideOthers");
        actions.card.cancelDrag = [this] { calls.append(QStringLiteral("cancelDrag")); };
        actions.updateDragAtPointer = [this] { ++dragSteps; };
        actions.haptic = [this] { ++haptics; };
        actions.log = [this](const QString &name, const QString &detail) {
            events.append(detail.isEmpty() ? name : name + u' ' + detail);
        };
        actions.cardsInView = [this](const QList<qint64> &ids) { inView.append(ids); };
        state = std::make_unique<SuperPanelState>(windows, scheduler, std::move(actions),
                                                  SuperPanelState::Presented{[this] { return presented; },
                                                                             [this](bool shown) {
                                                                                 presented = shown;
                                                                                 state->presentationChanged(
                                                                                     shown);
                                                                             }});
        view = new SuperPanelOverlay(*state, scheduler);
        view->resize(1440, 900);
        backdrop = std::make_unique<Backdrop>(*view, view->size(), QPoint(0, 0));
        backdrop->show();
        QApplication::processEvents();
    }

    void open()
    {
        presented = true;
        state->presentationChanged(true);
        scheduler.advance(SuperPanelOverlay::fadeInDuration + 0.02); // its last frame included
        QApplication::processEvents();
    }

    ManualScheduler scheduler;
    WindowListModel windows;
    std::unique_ptr<SuperPanelState> state;
    SuperPanelOverlay *view = nullptr; // owned by the backdrop
    std::unique_ptr<Backdrop> backdrop;
    bool presented = false;
    QStringList calls;
    QStringList events;
    int dragSteps = 0;
    int haptics = 0;
    // Each report of the cards in view, in order.
    QList<QList<qint64>> inView;
};

} // namespace qv
