#include "views/superpanel/superpaneloverlay.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QVBoxLayout>

#include "core/localization.h"
#include "ui/dockglassbackground.h"
#include "ui/panel.h"
#include "ui/scalefadeeffect.h"
#include "ui/symbols.h"
#include "ui/theme.h"
#include "views/peek/dropzoneview.h"
#include "views/peek/peeklayout.h"
#include "views/superpanel/appsidebaritem.h"
#include "views/superpanel/globalwindowcard.h"
#include "views/superpanel/superpanelstate.h"
#include "views/superpanel/symbolbutton.h"
#include "views/superpanel/windowgrid.h"

namespace qv {

namespace {

constexpr double backdropBlur = 40;
constexpr double backdropOpacity = 0.95;
constexpr double draggingOpacity = 0.4;
constexpr int headerTop = 60;
constexpr int searchMaxWidth = 680;
constexpr double enteringScale = 0.98;
constexpr double zoneSpringResponse = 0.3;
constexpr double zoneSpringDamping = 0.7;

// A column with a tinted fill and a 1-pt line along one edge. Clicks on it stop here, so they do
// not reach the backdrop and close the panel.
class ColumnBackground : public QWidget
{
public:
    ColumnBackground(double darkness, Qt::Edge lineEdge, QWidget *parent)
        : QWidget(parent), m_darkness(darkness), m_lineEdge(lineEdge)
    {
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Theme::black(m_darkness));
        const int x = m_lineEdge == Qt::LeftEdge ? 0 : width() - 1;
        painter.fillRect(QRect(x, 0, 1, height()), Theme::white(0.1));
    }
    void mousePressEvent(QMouseEvent *event) override { event->accept(); }

private:
    double m_darkness;
    Qt::Edge m_lineEdge;
};

// The rounded box around the search field.
class SearchBox : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 16, 16);
        painter.fillPath(shape, Theme::ultraThinMaterial(true));
        painter.fillPath(shape, Theme::black(0.2));
        painter.setPen(QPen(Theme::white(0.1), 1));
        painter.drawPath(shape);
    }
    void mousePressEvent(QMouseEvent *event) override { event->accept(); }
};

} // namespace

SuperPanelOverlay::SuperPanelOverlay(SuperPanelState &state, Scheduler &scheduler, QWidget *parent)
    : QWidget(parent), m_state(state), m_scheduler(scheduler),
      m_presence(scheduler, state.showContent() ? 1 : 0, [this] { updatePresentation(); }),
      m_zonePresence(scheduler, 0, [this] { followZones(); })
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_TranslucentBackground);

    m_fullPanel = new QWidget(this);
    auto *columns = new QHBoxLayout(m_fullPanel);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(0);
    columns->addWidget(buildSidebar());
    columns->addWidget(buildWindowArea(), 1);
    // Empty until the clipboard and the shelf move in; already as wide as it will be.
    m_rightColumn = new ColumnBackground(0.4, Qt::LeftEdge, m_fullPanel);
    m_rightColumn->setObjectName(QStringLiteral("rightColumn"));
    m_rightColumn->setFixedWidth(rightColumnWidth);
    columns->addWidget(m_rightColumn);

    m_zoneLayer = new QWidget(this);
    m_zoneLayer->setAttribute(Qt::WA_TransparentForMouseEvents);
    for (const PeekLayout::ZoneTile &tile : PeekLayout::zoneTiles(QSizeF(size())))
        m_zones.append(new DropZoneView(QString::fromLatin1(tile.symbol), scheduler, m_zoneLayer));
    m_zoneLayer->hide();

    connect(&state, &SuperPanelState::showContentChanged, this, &SuperPanelOverlay::followShowContent);
    connect(&state, &SuperPanelState::routeChanged, this, &SuperPanelOverlay::updatePresentation);
    connect(&state, &SuperPanelState::dragChanged, this, &SuperPanelOverlay::updatePresentation);
    connect(&state, &SuperPanelState::appNamesChanged, this, &SuperPanelOverlay::rebuildAppItems);
    connect(&state, &SuperPanelState::appFilterChanged, this, &SuperPanelOverlay::updateAppSelection);
    connect(&state, &SuperPanelState::searchTextChanged, this, [this](const QString &text) {
        if (m_searchField->text() != text)
            m_searchField->setText(text);
        m_clearButton->setVisible(!text.isEmpty());
    });
    connect(&state, &SuperPanelState::searchFocusRequested, this, [this] {
        if (m_searchField->isVisible())
            m_searchField->setFocus(Qt::OtherFocusReason);
    });
    connect(&state, &SuperPanelState::languageChanged, this, [this] {
        m_searchField->setPlaceholderText(Localization::text(u"search_windows", m_state.language()));
    });
    rebuildAppItems();
    updatePresentation();
}

QWidget *SuperPanelOverlay::buildSidebar()
{
    m_sidebar = new ColumnBackground(0.3, Qt::RightEdge, m_fullPanel);
    m_sidebar->setObjectName(QStringLiteral("sidebar"));
    m_sidebar->setFixedWidth(sidebarWidth);
    auto *layout = new QVBoxLayout(m_sidebar);
    layout->setContentsMargins(0, headerTop, 0, 0);
    layout->setSpacing(20);
    m_allApps = new AppSidebarItem(QImage(), QStringLiteral("All Apps"), m_scheduler, m_sidebar);
    connect(m_allApps, &QAbstractButton::clicked, this, [this] { m_state.selectAppFilter(std::nullopt); });
    layout->addWidget(m_allApps, 0, Qt::AlignHCenter);

    auto *scroll = new QScrollArea(m_sidebar);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidgetResizable(true);
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->viewport()->setAutoFillBackground(false);
    m_appList = new QWidget(scroll);
    auto *list = new QVBoxLayout(m_appList);
    list->setContentsMargins(10, 10, 10, 20);
    list->setSpacing(15);
    list->addStretch(1);
    scroll->setWidget(m_appList);
    m_appList->setAutoFillBackground(false); // the scroll area turns it on
    layout->addWidget(scroll, 1);
    return m_sidebar;
}

QWidget *SuperPanelOverlay::buildWindowArea()
{
    auto *area = new QWidget(m_fullPanel);
    area->setObjectName(QStringLiteral("windowArea"));
    auto *stack = new QVBoxLayout(area);
    stack->setContentsMargins(0, headerTop, 0, 0);
    stack->setSpacing(0);

    auto *header = new QHBoxLayout;
    header->setSpacing(15);
    header->addStretch(1);
    m_searchBox = new SearchBox(area);
    m_searchBox->setMaximumWidth(searchMaxWidth);
    m_searchBox->setMinimumWidth(240);
    auto *box = new QHBoxLayout(m_searchBox);
    box->setContentsMargins(20, 20, 20, 20);
    auto *magnifier = new QLabel(m_searchBox);
    magnifier->setPixmap(
        Symbols::pixmap(QStringLiteral("magnifyingglass"), 18, Theme::white(0.5), devicePixelRatioF()));
    box->addWidget(magnifier);
    m_searchField = new QLineEdit(m_searchBox);
    m_searchField->setObjectName(QStringLiteral("searchField"));
    m_searchField->setFrame(false);
    m_searchField->setFont(Theme::systemFont(24, QFont::Light));
    m_searchField->setPlaceholderText(Localization::text(u"search_windows", m_state.language()));
    m_searchField->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; color: white; }"));
    QPalette palette = m_searchField->palette();
    palette.setColor(QPalette::PlaceholderText, Theme::white(0.35));
    m_searchField->setPalette(palette);
    m_searchField->installEventFilter(this);
    connect(m_searchField, &QLineEdit::textEdited, this,
            [this](const QString &text) { m_state.setSearchText(text); });
    box->addWidget(m_searchField, 1);
    auto *clear = new SymbolButton(QStringLiteral("xmark.circle.fill"), 18, Theme::white(0.5), 2,
                                   SymbolButton::Face::bare(), m_searchBox);
    clear->setObjectName(QStringLiteral("clearButton"));
    connect(clear, &QAbstractButton::clicked, this, [this] { m_state.setSearchText(QString()); });
    clear->hide();
    m_clearButton = clear;
    box->addWidget(clear);
    header->addWidget(m_searchBox, 1);
    auto *settings = new SymbolButton(QStringLiteral("gearshape.fill"), 22, Theme::white(0.6), 20,
                                      SymbolButton::Face::frosted(), area);
    settings->setObjectName(QStringLiteral("settingsButton"));
    settings->setToolTip(QStringLiteral("Quorvantis Settings"));
    connect(settings, &QAbstractButton::clicked, this, [this] { m_state.openSettings(); });
    m_settingsButton = settings;
    header->addWidget(settings);
    header->addStretch(1);
    stack->addLayout(header);

    m_grid = new WindowGrid(m_state, m_scheduler, area);
    m_grid->setDragLayer(m_fullPanel);
    stack->addWidget(m_grid, 1);
    return area;
}

QString SuperPanelOverlay::routeName() const
{
    return rawValue(m_state.route());
}

QStringList SuperPanelOverlay::windowTitles() const
{
    QStringList titles;
    for (const AppWindowModel &window : m_state.filteredWindows())
        titles.append(window.title.isEmpty() ? window.appName : window.title);
    return titles;
}

QWidget *SuperPanelOverlay::searchField() const
{
    return m_searchField;
}

QList<AppSidebarItem *> SuperPanelOverlay::sidebarItems() const
{
    return QList<AppSidebarItem *>{m_allApps} + m_appItems;
}

void SuperPanelOverlay::rebuildAppItems()
{
    qDeleteAll(m_appItems);
    m_appItems.clear();
    auto *list = static_cast<QVBoxLayout *>(m_appList->layout());
    int position = 0;
    for (const QString &name : m_state.appNames()) {
        auto *item = new AppSidebarItem(m_state.appIcon(name), name, m_scheduler, m_appList);
        connect(item, &QAbstractButton::clicked, this, [this, name] { m_state.selectAppFilter(name); });
        list->insertWidget(position++, item, 0, Qt::AlignHCenter);
        m_appItems.append(item);
    }
    updateAppSelection();
}

void SuperPanelOverlay::updateAppSelection()
{
    const std::optional<QString> filter = m_state.selectedAppFilter();
    m_allApps->setSelected(!filter);
    for (AppSidebarItem *item : std::as_const(m_appItems))
        item->setSelected(filter && *filter == item->name());
}

void SuperPanelOverlay::setModuleView(QWidget *view)
{
    delete m_moduleView;
    m_moduleView = view;
    if (view) {
        view->setParent(this);
        view->setGeometry(rect());
    }
    updatePresentation();
}

void SuperPanelOverlay::setColumn(QWidget *column)
{
    auto *fill = new QVBoxLayout(m_rightColumn);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(column);
}

void SuperPanelOverlay::addLayer(QWidget *layer)
{
    layer->setParent(m_fullPanel);
    layer->setGeometry(m_fullPanel->rect());
    m_layers.append(layer);
}

void SuperPanelOverlay::followShowContent(bool show)
{
    const bool leaving = !show;
    // Going, it takes no input; the keys it swallows itself.
    m_fullPanel->setAttribute(Qt::WA_TransparentForMouseEvents, leaving);
    if (m_moduleView)
        m_moduleView->setAttribute(Qt::WA_TransparentForMouseEvents, leaving);
    if (leaving && focusWidget() && focusWidget() != this)
        setFocus(Qt::OtherFocusReason);
    if (!isVisible())
        m_presence.setValue(show ? 1 : 0);
    else
        m_presence.easeOutTo(show ? 1 : 0, show ? fadeInDuration : fadeOutDuration);
    updatePresentation();
}

void SuperPanelOverlay::applyPresence()
{
    const double presence = m_presence.clamped();
    const double scale = enteringScale + (1 - enteringScale) * presence;
    // Dimmed while a card is dragged, so the screen shows through to the snap targets.
    const double dim = m_state.isDragging() ? draggingOpacity : 1.0;
    setScaleFade(m_fullPanel, presence * dim, scale);
    setScaleFade(m_moduleView, presence, scale);
    update();
}

void SuperPanelOverlay::updatePresentation()
{
    const bool shown = m_state.showContent() || m_presence.value() > 0;
    const bool full = shown && m_state.route() == OverlayRoute::all;
    m_fullPanel->setVisible(full);
    if (m_moduleView) {
        m_moduleView->setVisible(shown && m_state.route() != OverlayRoute::all);
        m_moduleView->raise();
    }
    applyPresence();
    const double zones = m_state.isDragging() ? 1 : 0;
    if (zones != m_zonePresence.target()) {
        if (isVisible())
            m_zonePresence.springTo(zones, zoneSpringResponse, zoneSpringDamping);
        else
            m_zonePresence.setValue(zones);
    }
    followZones();
    updateZones();
    update();
}

void SuperPanelOverlay::followZones()
{
    const double opacity = m_zonePresence.clamped();
    m_zoneLayer->setVisible(m_state.isDragging() || opacity > 0);
    if (!m_zoneLayer->isHidden())
        m_zoneLayer->raise();
    setScaleFade(m_zoneLayer, opacity, 1);
}

void SuperPanelOverlay::updateZones()
{
    const QList<PeekLayout::ZoneTile> tiles = PeekLayout::zoneTiles(QSizeF(size()));
    for (int i = 0; i < tiles.size() && i < m_zones.size(); ++i) {
        m_zones.at(i)->setTileRect(tiles.at(i).rect);
        m_zones.at(i)->setHighlighted(m_state.dragTargetZone() == tiles.at(i).zone);
    }
}

void SuperPanelOverlay::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_fullPanel->setGeometry(rect().adjusted(0, 0, 0, -20));
    m_zoneLayer->setGeometry(rect());
    for (QWidget *layer : std::as_const(m_layers))
        layer->setGeometry(m_fullPanel->rect());
    if (m_moduleView)
        m_moduleView->setGeometry(rect());
    updateZones();
}

void SuperPanelOverlay::paintEvent(QPaintEvent *)
{
    // The module routes leave the screen visible around their popup, which paints its own backdrop.
    if (m_moduleView && m_state.route() != OverlayRoute::all)
        return;
    QPainter painter(this);
    // Without a compositor the window cannot show the desktop through it: the backdrop's tint is
    // painted opaque instead of a see-through one that would paint black.
    const auto *panel = qobject_cast<const Panel *>(window());
    const bool translucent = !panel || panel->isTranslucent();
    QColor tint = DockGlassBackground::tint(DockGlassBackground::materialFor(backdropBlur), translucent);
    if (translucent)
        tint.setAlphaF(tint.alphaF() * float(backdropOpacity * m_presence.clamped()));
    painter.fillRect(rect(), tint);
}

void SuperPanelOverlay::mousePressEvent(QMouseEvent *event)
{
    // Only clicks that nothing in the panel took reach the backdrop.
    if (event->button() == Qt::LeftButton && m_state.showContent()) {
        event->accept();
        m_state.dismiss();
        return;
    }
    QWidget::mousePressEvent(event);
}

void SuperPanelOverlay::focusInEvent(QFocusEvent *event)
{
    // A click on something that takes no focus (a sidebar filter, the clear button) hands it up to
    // the panel: on the window area it belongs to the search field, which takes the typing.
    if (m_searchField->isVisible() && m_state.showContent())
        m_searchField->setFocus(event->reason());
    else
        QWidget::focusInEvent(event);
}

bool SuperPanelOverlay::commandKeyButtons(QKeyEvent *event)
{
    // Keys rather than window shortcuts: they act while a window behind the panel has the focus too
    // (the panel holds the keyboard then, but Qt counts it as inactive).
    if ((event->modifiers() & ~Qt::KeypadModifier) != Qt::ControlModifier)
        return false;
    if (event->key() == Qt::Key_W)
        m_state.performOnSelectedWindow(m_state.actions().card.closeWindow);
    else if (event->key() == Qt::Key_M)
        m_state.performOnSelectedWindow(m_state.actions().card.minimizeWindow);
    else
        return false;
    return true;
}

void SuperPanelOverlay::keyPressEvent(QKeyEvent *event)
{
    // The content is going: the keys are still the panel's, and do nothing.
    if (!m_state.showContent()) {
        event->accept();
        return;
    }
    if (commandKeyButtons(event)) {
        event->accept();
        return;
    }
    // A key that came to the panel itself (the focus moved here while Qt counted the panel
    // inactive, so focusInEvent never ran) is the search field's on the window area.
    if (m_searchField->isVisible() && !m_forwardingKey) {
        m_searchField->setFocus(Qt::OtherFocusReason);
        m_forwardingKey = true;
        QCoreApplication::sendEvent(m_searchField, event);
        m_forwardingKey = false;
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        m_state.handleEscape();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool SuperPanelOverlay::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_searchField && event->type() == QEvent::KeyPress)
        return handleSearchKey(static_cast<QKeyEvent *>(event));
    return QWidget::eventFilter(watched, event);
}

bool SuperPanelOverlay::handleSearchKey(QKeyEvent *event)
{
    if (!m_state.showContent())
        return true; // going: swallowed
    if (commandKeyButtons(event))
        return true;
    // Every key below is the panel's: the arrows and Tab never move the caret or the focus.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        m_state.openSelectedWindow();
        return true;
    case Qt::Key_Escape:
        m_state.handleEscape();
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Right:
        m_state.moveSelection(1);
        return true;
    case Qt::Key_Backtab:
        return true;
    case Qt::Key_Left:
        m_state.moveSelection(-1);
        return true;
    case Qt::Key_Down:
        m_state.moveSelection(m_state.currentGridColumns());
        return true;
    case Qt::Key_Up:
        m_state.moveSelection(-m_state.currentGridColumns());
        return true;
    default:
        return false;
    }
}

} // namespace qv
