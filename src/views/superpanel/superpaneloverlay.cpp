#include "views/superpanel/superpaneloverlay.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QGraphicsEffect>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QVBoxLayout>

#include <array>
#include <vector>

#include "core/localization.h"
#include "ui/dockglassbackground.h"
#include "ui/noticeline.h"
#include "ui/panel.h"
#include "ui/scalefadeeffect.h"
#include "ui/symbols.h"
#include "ui/theme.h"
#include "views/peek/dropzoneview.h"
#include "views/peek/peeklayout.h"
#include "views/superpanel/appsidebaritem.h"
#include "views/superpanel/globalwindowcard.h"
#include "views/superpanel/superpanelgallery.h"
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
constexpr int bottomPadding = 20;
constexpr double behindGalleryBlur = 10;
constexpr double behindGalleryOpacity = 0.5;
constexpr double enteringScale = 0.98;
constexpr double zoneSpringResponse = 0.3;
constexpr double zoneSpringDamping = 0.7;

// One line of pixels (`stride` apart) replaced by the running average of the `radius` pixels on
// either side; at the ends by the average of those that exist.
void boxBlurLine(QRgb *first, int length, qsizetype stride, int radius, std::vector<std::array<int, 4>> &sums)
{
    sums.assign(size_t(length) + 1, {});
    for (int k = 0; k < length; ++k) {
        const QRgb p = first[k * stride];
        const auto &s = sums[size_t(k)];
        sums[size_t(k) + 1] = {s[0] + qAlpha(p), s[1] + qRed(p), s[2] + qGreen(p), s[3] + qBlue(p)};
    }
    for (int k = 0; k < length; ++k) {
        const size_t lo = size_t(std::max(0, k - radius));
        const size_t hi = size_t(std::min(length, k + radius + 1));
        const int n = int(hi - lo);
        const auto mean = [&](int c) { return (sums[hi][size_t(c)] - sums[lo][size_t(c)]) / n; };
        first[k * stride] = qRgba(mean(1), mean(2), mean(3), mean(0));
    }
}

// A Gaussian blur of `radius`, near enough: three box passes each way over a quarter-size copy.
QPixmap blurred(const QPixmap &source, double radius)
{
    constexpr int factor = 4;
    QImage small = source.toImage()
                       .scaled(std::max(1, source.width() / factor), std::max(1, source.height() / factor),
                               Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                       .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int box = std::max(1, int(radius * source.devicePixelRatio()) / factor);
    auto *bits = reinterpret_cast<QRgb *>(small.bits());
    const qsizetype stride = small.bytesPerLine() / qsizetype(sizeof(QRgb));
    std::vector<std::array<int, 4>> sums;
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < small.height(); ++y)
            boxBlurLine(bits + y * stride, small.width(), 1, box, sums);
        for (int x = 0; x < small.width(); ++x)
            boxBlurLine(bits + x, small.height(), stride, box, sums);
    }
    QPixmap result =
        QPixmap::fromImage(small.scaled(source.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    result.setDevicePixelRatio(source.devicePixelRatio());
    return result;
}

// The window area behind an open gallery: a still picture of it, blurred and half transparent.
// Widgets repaint under the gallery on every frame of its spring; the picture is taken again only
// when refresh() says the area changed.
class BehindGalleryEffect : public QGraphicsEffect
{
public:
    using QGraphicsEffect::QGraphicsEffect;

    void refresh()
    {
        m_picture = QPixmap();
        update();
    }

protected:
    void draw(QPainter *painter) override
    {
        if (m_picture.isNull())
            m_picture = blurred(sourcePixmap(Qt::LogicalCoordinates, &m_offset, NoPad), behindGalleryBlur);
        painter->save();
        painter->setOpacity(painter->opacity() * behindGalleryOpacity);
        painter->drawPixmap(m_offset, m_picture);
        painter->restore();
    }

private:
    QPixmap m_picture;
    QPoint m_offset;
};

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

    // The content of the three columns keeps clear of the screen's bottom edge; the two side
    // columns' backgrounds reach it.
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
    auto *fill = new QVBoxLayout(m_rightColumn);
    fill->setContentsMargins(0, 0, 0, bottomPadding);
    columns->addWidget(m_rightColumn);

    m_zoneLayer = new QWidget(this);
    m_zoneLayer->setAttribute(Qt::WA_TransparentForMouseEvents);
    for (const PeekLayout::ZoneTile &tile : PeekLayout::zoneTiles(QSizeF(size())))
        m_zones.append(new DropZoneView(QString::fromLatin1(tile.symbol), scheduler, m_zoneLayer));
    m_zoneLayer->hide();

    m_notice = new NoticeLine(scheduler, this);
    connect(&state, &SuperPanelState::noticeRequested, m_notice, &NoticeLine::showText);
    connect(&state, &SuperPanelState::showContentChanged, m_notice, &NoticeLine::dismiss);
    connect(&state, &SuperPanelState::showContentChanged, this, &SuperPanelOverlay::followShowContent);
    connect(&state, &SuperPanelState::routeChanged, this, &SuperPanelOverlay::updatePresentation);
    connect(&state, &SuperPanelState::dragChanged, this, &SuperPanelOverlay::updatePresentation);
    connect(&state, &SuperPanelState::expandedSectionChanged, this,
            &SuperPanelOverlay::updateGalleryBackdrop);
    // What the picture behind a gallery shows.
    connect(&state, &SuperPanelState::searchTextChanged, this, &SuperPanelOverlay::refreshBehindGallery);
    connect(&state, &SuperPanelState::selectedIndexChanged, this, &SuperPanelOverlay::refreshBehindGallery);
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
    layout->setContentsMargins(0, headerTop, 0, bottomPadding);
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
    area->installEventFilter(this);
    m_windowArea = area;
    auto *stack = new QVBoxLayout(area);
    stack->setContentsMargins(0, headerTop, 0, bottomPadding);
    stack->setSpacing(0);

    // The search box takes the width the settings button leaves, up to its bound; the row is
    // centred in the area.
    auto *header = new QHBoxLayout;
    header->setSpacing(15);
    header->addStretch(0);
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
    header->addStretch(0);
    stack->addLayout(header);

    m_grid = new WindowGrid(m_state, m_scheduler, area);
    m_grid->setDragLayer(m_fullPanel);
    stack->addWidget(m_grid, 1);
    return area;
}

QString SuperPanelOverlay::noticeText() const
{
    return m_notice->shownText();
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
    m_rightColumn->layout()->addWidget(column);
}

void SuperPanelOverlay::setGallery(SuperPanelGallery *gallery)
{
    delete m_gallery;
    m_gallery = gallery;
    gallery->setParent(m_fullPanel);
    placeGallery();
    updateGalleryBackdrop();
}

void SuperPanelOverlay::placeGallery()
{
    refreshBehindGallery();
    if (!m_gallery)
        return;
    // The previews dim the whole screen; the gallery keeps to the window area.
    m_gallery->setGeometry(m_fullPanel->rect());
    m_gallery->setWindowArea(m_windowArea->geometry());
}

void SuperPanelOverlay::updateGalleryBackdrop()
{
    const bool open = m_state.expandedSection().has_value();
    m_windowArea->setAttribute(Qt::WA_TransparentForMouseEvents, open);
    if (!open)
        m_windowArea->setGraphicsEffect(nullptr);
    else if (!m_windowArea->graphicsEffect())
        m_windowArea->setGraphicsEffect(new BehindGalleryEffect(m_windowArea));
}

void SuperPanelOverlay::refreshBehindGallery()
{
    if (auto *effect = dynamic_cast<BehindGalleryEffect *>(m_windowArea->graphicsEffect()))
        effect->refresh();
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
    // The module's popup only fades: it keeps its place against its screen edge.
    setScaleFade(m_moduleView, presence, 1);
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
    m_fullPanel->setGeometry(rect());
    m_zoneLayer->setGeometry(rect());
    placeGallery();
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
    // Without a compositor the window cannot show the desktop through it: the backdrop is painted
    // solid instead of at an opacity that would show black.
    const auto *panel = qobject_cast<const Panel *>(window());
    const bool translucent = !panel || panel->isTranslucent();
    QPainterPath all;
    all.addRect(QRectF(rect()));
    DockGlassBackground::paint(painter, all, backdropBlur,
                               translucent ? backdropOpacity * m_presence.clamped() : 1.0);
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
    if (watched == m_windowArea && (event->type() == QEvent::Move || event->type() == QEvent::Resize))
        placeGallery();
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
