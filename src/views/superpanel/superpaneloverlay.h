#pragma once

#include <QList>
#include <QStringList>
#include <QWidget>

#include "ui/animatedvalue.h"

class QLineEdit;

namespace qv {

class AppSidebarItem;
class DropZoneView;
class NoticeLine;
class Scheduler;
class SuperPanelGallery;
class SuperPanelState;
class WindowGrid;

// The Super Panel's root view, shown full screen while the panel is open. On route "all" it shows,
// over the frosted backdrop, the application filter column, the window area (search field, settings
// button, window grid) and the right column; while a card is dragged the panel dims and the three
// snap zones show. The search field has the keyboard: typing filters, Tab and the arrows move the
// selection, Return opens the selected window, Esc closes the gallery or the panel. Ctrl+W and
// Ctrl+M close and minimise the selected window wherever the focus is. A click on the backdrop
// closes the panel. While a gallery is open the window area behind it is blurred, half
// transparent and out of reach, and the columns on either side stay as they are.
//
// Its content comes in over 0.12 s and goes over 0.1 s, easing out: the backdrop fades, the panel
// fades and grows from 0.98 of its size, the module view only fades. While it goes it takes no input
// and swallows every key, so nothing reaches the windows behind before the owner hides it.
//
// Everything it shows and does goes through `state`, which with the scheduler must outlive it.
// Main thread.
class SuperPanelOverlay : public QWidget
{
    Q_OBJECT
public:
    static constexpr int sidebarWidth = 100;
    static constexpr int rightColumnWidth = 320;
    static constexpr double fadeInDuration = 0.12;
    static constexpr double fadeOutDuration = 0.1;

    SuperPanelOverlay(SuperPanelState &state, Scheduler &scheduler, QWidget *parent = nullptr);

    SuperPanelState &state() const { return m_state; }
    // The raw name of the route shown.
    QString routeName() const;
    // The titles of the windows the grid lists (built into cards or not), in grid order.
    QStringList windowTitles() const;

    QWidget *fullPanel() const { return m_fullPanel; }
    QWidget *windowArea() const { return m_windowArea; }
    QWidget *searchField() const;
    WindowGrid *grid() const { return m_grid; }
    // "All Apps" first, then one item per application.
    QList<AppSidebarItem *> sidebarItems() const;
    QWidget *rightColumn() const { return m_rightColumn; }
    QWidget *settingsButton() const { return m_settingsButton; }
    QList<DropZoneView *> zones() const { return m_zones; }
    // How far the content has come in: 0 gone, 1 fully shown.
    double presence() const { return m_presence.value(); }
    // The line that tells of an action that could not be done; empty while none shows.
    QString noticeText() const;
    // The view of the module routes ("clipboard", "shelf"), shown over the whole panel in place of
    // the window area while such a route is open; the panel takes ownership.
    void setModuleView(QWidget *view);
    QWidget *moduleView() const { return m_moduleView; }
    // The clipboard and shelf column, placed in the right column; the panel takes ownership.
    void setColumn(QWidget *column);
    // The galleries, centred on the window area, and their previews over the whole panel; it shows
    // and hides itself. The panel takes ownership.
    void setGallery(SuperPanelGallery *gallery);

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *buildSidebar();
    QWidget *buildWindowArea();
    void rebuildAppItems();
    void updateAppSelection();
    void updatePresentation();
    void followShowContent(bool show);
    // The entrance or exit of the content at its present stage (and the card drag's dim).
    void applyPresence();
    // The snap zones fade in and out with a card drag.
    void followZones();
    void updateZones();
    void updateGalleryBackdrop();
    void placeGallery();
    void refreshBehindGallery();
    bool handleSearchKey(QKeyEvent *event);
    // The panel's window commands, Ctrl+W and Ctrl+M; true when the key was one of them.
    bool commandKeyButtons(QKeyEvent *event);

    SuperPanelState &m_state;
    Scheduler &m_scheduler;
    QWidget *m_fullPanel = nullptr;
    QWidget *m_sidebar = nullptr;
    AppSidebarItem *m_allApps = nullptr;
    QWidget *m_appList = nullptr;
    QList<AppSidebarItem *> m_appItems;
    QWidget *m_windowArea = nullptr;
    QWidget *m_searchBox = nullptr;
    QLineEdit *m_searchField = nullptr;
    QWidget *m_clearButton = nullptr;
    QWidget *m_settingsButton = nullptr;
    WindowGrid *m_grid = nullptr;
    QWidget *m_rightColumn = nullptr;
    QWidget *m_zoneLayer = nullptr;
    QList<DropZoneView *> m_zones;
    QWidget *m_moduleView = nullptr;
    SuperPanelGallery *m_gallery = nullptr;
    AnimatedValue m_presence;
    AnimatedValue m_zonePresence;
    NoticeLine *m_notice = nullptr;
    // A key on its way from the panel to the search field, which may hand it back up.
    bool m_forwardingKey = false;
};

} // namespace qv
