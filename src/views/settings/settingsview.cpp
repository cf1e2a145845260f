#include "views/settings/settingsview.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextBoundaryFinder>
#include <QTextLayout>
#include <QVBoxLayout>
#include <QWindow>

#include <cmath>

#include "core/color.h"
#include "core/localization.h"
#include "core/settingskeys.h"
#include "core/settingsstore.h"
#include "runtime/scheduler.h"
#include "ui/dockglassbackground.h"
#include "ui/poptransition.h"
#include "ui/scalefadeeffect.h"
#include "ui/symbols.h"
#include "ui/theme.h"
#include "views/settings/aboutsection.h"
#include "views/settings/appblockersection.h"
#include "views/settings/appearancesettingssection.h"
#include "views/settings/contactsection.h"
#include "views/settings/diagnosticssettingssection.h"
#include "views/settings/generalsettingssection.h"
#include "views/settings/guidesection.h"
#include "views/settings/settingspage.h"
#include "views/settings/settingswidgets.h"
#include "views/settings/shortcutssettingssection.h"

namespace qv {

namespace {

constexpr double pageSpringResponse = 0.3;
constexpr double pageSpringDamping = 0.7;
constexpr double selectionResponse = 0.3;
constexpr double selectionDamping = 0.7;
constexpr double windowCornerRadius = 16;

// A soft glow of `color` around what `widget` draws (its text or symbol), spread over `radius`.
void addGlow(QWidget *widget, const QColor &color, double radius)
{
    auto *glow = new QGraphicsDropShadowEffect(widget);
    glow->setColor(color);
    glow->setBlurRadius(radius);
    glow->setOffset(0, 0);
    widget->setGraphicsEffect(glow);
}

// One row of the sidebar: the page's symbol and title, lit in cyan with a glowing bar while its
// page is shown. A title too long for the row shrinks to 80 % of its size on one line; below that
// it takes two lines at 80 %, breaking a word too long for one line at its marked syllable (a soft
// hyphen), where a hyphen is drawn. Nothing is drawn smaller. The bold title of the selected row
// decides for both states, so selecting a row never moves its title.
class SideBarButton : public QAbstractButton
{
public:
    SideBarButton(SettingsTab tab, Scheduler &scheduler, QWidget *parent)
        : QAbstractButton(parent), m_tab(tab), m_selection(scheduler, 0, [this] { update(); })
    {
        setCheckable(true);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setCursor(Qt::PointingHandCursor);
        // The selection's light comes and goes on the sidebar's spring.
        connect(this, &QAbstractButton::toggled, this, [this](bool selected) {
            if (isVisible())
                m_selection.springTo(selected ? 1 : 0, selectionResponse, selectionDamping);
            else
                m_selection.setValue(selected ? 1 : 0);
        });
    }
    QSize sizeHint() const override
    {
        // Measured at the row's own width: the hint never depends on the size the row has now.
        const Title title = fitTitle(false, rowWidth);
        int height = rowHeight;
        if (title.wraps) {
            const qsizetype lines = titleLines(rowWidth - titleLeft - titleTrailing).size();
            height = qMax(height, int(std::ceil(lines * QFontMetricsF(title.font).lineSpacing())) +
                                      2 * verticalPadding);
        }
        return QSize(rowWidth, height);
    }
    // The narrowest row whose title shows whole at the smallest size it may take.
    QSize minimumSizeHint() const override
    {
        return QSize(titleLeft + titleTrailing + int(std::ceil(widestPiece(shrunkPixels))),
                     sizeHint().height());
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const bool selected = isChecked();
        const double lit = m_selection.clamped();
        const QColor &cyan = Color::neonCyan();
        if (lit > 0) {
            QPainterPath shape;
            shape.addRoundedRect(QRectF(rect()), 10, 10);
            painter.fillPath(shape, withAlpha(cyan, 0.1 * lit));
        }
        const QColor symbolColor = Theme::mixed(Theme::white(0.5), cyan, lit);
        const QPixmap symbol = Symbols::pixmap(symbolName(m_tab), 15, symbolColor, devicePixelRatioF());
        painter.drawPixmap(QPointF(14 + 2.5, (height() - 15) / 2.0), symbol);
        const Title title = fitTitle(selected, width());
        painter.setFont(title.font);
        painter.setPen(Theme::mixed(Theme::white(0.6), Qt::white, lit));
        const QRectF room(titleLeft, 0, width() - titleLeft - titleTrailing, height());
        if (title.wraps) {
            const QStringList lines = titleLines(room.width());
            const double lineHeight = QFontMetricsF(title.font).lineSpacing();
            double y = (height() - lines.size() * lineHeight) / 2;
            for (const QString &line : lines) {
                painter.drawText(QRectF(room.left(), y, room.width(), lineHeight),
                                 Qt::AlignLeft | Qt::AlignVCenter, line);
                y += lineHeight;
            }
        } else
            painter.drawText(room, Qt::AlignLeft | Qt::AlignVCenter,
                             QFontMetrics(title.font).elidedText(text(), Qt::ElideRight, int(room.width())));
        if (lit > 0) {
            const QRectF bar(width() - 14 - 3, (height() - 16) / 2.0, 3, 16);
            painter.setOpacity(lit);
            painter.setPen(Qt::NoPen);
            painter.setBrush(withAlpha(cyan, 0.4));
            painter.drawRoundedRect(bar.adjusted(-2, -2, 2, 2), 3, 3);
            painter.setBrush(cyan);
            painter.drawRoundedRect(bar, 1.5, 1.5);
        }
    }

private:
    static constexpr int rowWidth = 168;
    static constexpr int rowHeight = 40;
    static constexpr int verticalPadding = 10;
    static constexpr int fullPixels = 13;
    static constexpr int shrunkPixels = 10; // 80 %, the smallest
    // Padding, symbol and spacing before the title; spacing, bar and padding after it.
    static constexpr int titleLeft = 14 + 20 + 12;
    static constexpr int titleTrailing = 12 + 3 + 14;
    static constexpr QChar softHyphen = QChar(0x00AD);

    struct Title
    {
        QFont font;
        bool wraps;
    };

    static QFont boldFont(int pixels)
    {
        QFont font = Theme::systemFont(fullPixels, QFont::DemiBold);
        font.setPixelSize(pixels);
        return font;
    }
    // A piece of the title as it shows on a line of its own: a soft hyphen at its end is drawn as a
    // hyphen, one inside it not at all.
    static QString shown(QString piece)
    {
        piece = piece.trimmed();
        if (piece.endsWith(softHyphen))
            piece.back() = u'-';
        return piece.remove(softHyphen);
    }
    // The widest stretch of the title between two places where a line may break; one that ends at
    // a soft hyphen carries the hyphen drawn there.
    double widestPiece(int pixels) const
    {
        const QFontMetricsF metrics(boldFont(pixels));
        const QString title = text();
        QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, title);
        double widest = 0;
        qsizetype start = 0;
        while (breaks.toNextBoundary() > 0) {
            const qsizetype end = breaks.position();
            widest = qMax(widest, metrics.horizontalAdvance(shown(title.mid(start, end - start))));
            start = end;
        }
        return widest;
    }
    // The lines of a title that takes two or more, broken where the bold title breaks in `room`, so
    // the regular title of an unselected row breaks at the same places; a line that ends at a soft
    // hyphen ends in a hyphen.
    QStringList titleLines(double room) const
    {
        const QString title = text();
        QTextLayout layout(title, boldFont(shrunkPixels));
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        QStringList lines;
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(room);
            lines << shown(title.mid(line.textStart(), line.textLength()));
        }
        layout.endLayout();
        return lines;
    }
    Title fitTitle(bool selected, int across) const
    {
        const double room = across - titleLeft - titleTrailing;
        QFont font = Theme::systemFont(fullPixels, selected ? QFont::DemiBold : QFont::Normal);
        for (int pixels = fullPixels; pixels >= shrunkPixels; --pixels) {
            if (QFontMetricsF(boldFont(pixels)).horizontalAdvance(QString(text()).remove(softHyphen)) <=
                room) {
                font.setPixelSize(pixels);
                return {font, false};
            }
        }
        font.setPixelSize(shrunkPixels);
        return {font, true};
    }

    SettingsTab m_tab;
    // How far the selection's light has come: 0 not selected, 1 selected.
    AnimatedValue m_selection;
};

// The page's scroll bar, laid over the right edge of the scroll area instead of taking room beside
// the page: the page keeps one width whether or not it is longer than the window. Were the bar to
// take its room only once the page is laid out, texts that wrap would be laid out for one width
// and shown at another, and cut.
class OverlayScrollBar : public QScrollBar
{
public:
    explicit OverlayScrollBar(QAbstractScrollArea *area) : QScrollBar(Qt::Vertical, area), m_area(area)
    {
        area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        QScrollBar *inner = area->verticalScrollBar();
        connect(inner, &QScrollBar::rangeChanged, this, [this, inner](int minimum, int maximum) {
            setPageStep(inner->pageStep());
            setSingleStep(inner->singleStep());
            setRange(minimum, maximum);
            setVisible(maximum > minimum);
        });
        connect(inner, &QScrollBar::valueChanged, this, &QScrollBar::setValue);
        connect(this, &QScrollBar::valueChanged, inner, &QScrollBar::setValue);
        area->installEventFilter(this);
        hide();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_area && event->type() == QEvent::Resize) {
            setGeometry(m_area->width() - barWidth, 0, barWidth, m_area->height());
            raise();
        }
        return QScrollBar::eventFilter(watched, event);
    }

private:
    static constexpr int barWidth = 8;
    QAbstractScrollArea *m_area;
};

// A vertical scroll area that draws nothing of its own: its content shows over what lies behind,
// and its thin bar is laid over its right edge while there is more to see.
QScrollArea *glassScrollArea(QWidget *parent)
{
    auto *scroll = new QScrollArea(parent);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    new OverlayScrollBar(scroll);
    scroll->viewport()->setAutoFillBackground(false);
    scroll->setStyleSheet(QStringLiteral("QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; }") +
                          Theme::darkScrollBarStyle());
    return scroll;
}

// The window's edge, over everything in it: its content is cut to a rounded rectangle, with a
// faint white line inside the edge. Outside the corners the window shows black, as a window with
// nothing drawn shows where no compositor blends it with what lies behind. Takes no input.
class WindowEdge : public QWidget
{
public:
    explicit WindowEdge(QWidget *parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        parent->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == parentWidget() && event->type() == QEvent::Resize) {
            setGeometry(parentWidget()->rect());
            raise();
        }
        return QWidget::eventFilter(watched, event);
    }
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath inside;
        inside.addRoundedRect(QRectF(rect()), windowCornerRadius, windowCornerRadius);
        QPainterPath all;
        all.addRect(QRectF(rect()));
        painter.fillPath(all.subtracted(inside), Qt::black);
        QPainterPath line;
        line.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), windowCornerRadius - 0.5,
                            windowCornerRadius - 0.5);
        painter.setPen(QPen(Theme::white(0.15), 1));
        painter.drawPath(line);
    }
};

// The sidebar's column: the thinnest material with a fading hairline on its right edge.
class SideBar : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Theme::ultraThinMaterial(false));
        QLinearGradient line(0, 0, 0, height());
        line.setColorAt(0, Qt::transparent);
        line.setColorAt(0.5, Theme::white(0.1));
        line.setColorAt(1, Qt::transparent);
        painter.fillRect(QRectF(width() - 1, 0, 1, height()), line);
    }
};

// The page area: black at 0.4 over the glass, with a purple and a cyan glow.
class PageArea : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillRect(rect(), Theme::black(0.4));
        const QPointF centre = QRectF(rect()).center();
        const auto glow = [&](const QColor &color, const QPointF &at, double radius) {
            QRadialGradient gradient(at, radius);
            gradient.setColorAt(0, withAlpha(color, 0.1));
            gradient.setColorAt(1, Qt::transparent);
            painter.fillRect(rect(), gradient);
        };
        glow(Color::neonPurple(), centre + QPointF(-100, -100), 150 + 80);
        glow(Color::neonCyan(), centre + QPointF(150, 100), 100 + 60);
    }
};

} // namespace

SettingsView::SettingsView(const SettingsContext &context, QWidget *parent)
    : QWidget(parent), m_context(context), m_language(Localization::storedLanguage(context.settings)),
      m_blurAmount(Settings::blurAmount.clamp(context.settings.get(Settings::blurAmount))),
      m_pageFade(context.scheduler, 1, [this] { followPageFade(); })
{
    setMinimumWidth(contentWidth);
    setMaximumWidth(contentWidth);
    setAttribute(Qt::WA_OpaquePaintEvent);
    QPalette dark = palette();
    dark.setColor(QPalette::Window, QColor(30, 32, 40));
    dark.setColor(QPalette::WindowText, Qt::white);
    dark.setColor(QPalette::Text, Qt::white);
    dark.setColor(QPalette::Base, QColor(44, 44, 52));
    dark.setColor(QPalette::Button, QColor(44, 44, 52));
    dark.setColor(QPalette::ButtonText, Qt::white);
    dark.setColor(QPalette::Highlight, Color::neonCyan().darker(150));
    setPalette(dark);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    auto *sidebar = new SideBar(this);
    sidebar->setFixedWidth(sidebarWidth);
    auto *sideColumn = new QVBoxLayout(sidebar);
    sideColumn->setContentsMargins(0, 0, 0, 0);
    sideColumn->setSpacing(0);
    auto *brand = new QWidget(sidebar);
    brand->setFixedHeight(80);
    auto *brandRow = new QHBoxLayout(brand);
    brandRow->setContentsMargins(30, 0, 0, 0);
    brandRow->setSpacing(10);
    auto *logo = new QLabel(brand);
    logo->setPixmap(Symbols::pixmap(QStringLiteral("circle.hexagongrid.fill"), 24, Color::neonCyan(),
                                    devicePixelRatioF()));
    addGlow(logo, withAlpha(Color::neonCyan(), 0.5), 5);
    brandRow->addWidget(logo);
    QLabel *name = settingsLabel(QStringLiteral("QUORVANTIS"), 14, QFont::Bold, Qt::white, brand);
    QFont mono = Theme::monospaced(name->font());
    mono.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
    name->setFont(mono);
    brandRow->addWidget(name);
    brandRow->addStretch();
    sideColumn->addWidget(brand);
    auto *divider = new CardFrame(Theme::white(0.1), QColor(), 0, sidebar);
    divider->setFixedHeight(1);
    sideColumn->addWidget(divider);
    // The rows scroll where the window is too low for all of them.
    QScrollArea *rowScroll = glassScrollArea(sidebar);
    rowScroll->setObjectName(QStringLiteral("sidebarScroll"));
    auto *rows = new QWidget;
    auto *buttons = new QVBoxLayout(rows);
    buttons->setContentsMargins(16, 20, 16, 0);
    buttons->setSpacing(8);
    for (const SettingsTab tab : allSettingsTabs) {
        auto *button = new SideBarButton(tab, context.scheduler, rows);
        connect(button, &QAbstractButton::clicked, this, [this, tab] { selectTab(tab); });
        buttons->addWidget(button);
        m_sidebarButtons.append(button);
    }
    buttons->addStretch();
    rowScroll->setWidget(rows);
    sideColumn->addWidget(rowScroll, 1);
    row->addWidget(sidebar);

    auto *area = new PageArea(this);
    auto *areaLayout = new QVBoxLayout(area);
    areaLayout->setContentsMargins(0, 0, 0, 0);
    m_scroll = glassScrollArea(area);
    m_scroll->setObjectName(QStringLiteral("pageScroll"));
    auto *column = new QWidget;
    column->setAutoFillBackground(false);
    m_column = new QVBoxLayout(column);
    m_column->setContentsMargins(40, 40, 40, 40);
    m_column->setSpacing(30);
    m_header = settingsLabel(QString(), 28, QFont::Black, Qt::white, column);
    m_header->setWordWrap(true);
    addGlow(m_header, Theme::white(0.6), 8);
    m_column->addWidget(m_header);
    m_scroll->setWidget(column);
    areaLayout->addWidget(m_scroll);
    // Below the scrolling page, so it shows wherever the control that failed sits.
    m_saveFailure = settingsLabel(QString(), 13, QFont::Medium, Color::neonRed(), area);
    m_saveFailure->setWordWrap(true);
    m_saveFailure->setContentsMargins(40, 8, 40, 16);
    m_saveFailure->hide();
    areaLayout->addWidget(m_saveFailure);
    row->addWidget(area, 1);
    new WindowEdge(this);

    // A change that could not be written was not made: the controls show the stored value again,
    // and this line says why.
    connect(&m_context.settings, &SettingsStore::writeFailed, this, [this](const QString &key) {
        // The window engine records activations in the background; no one changed anything here.
        if (key == Settings::appUsageHistory.key())
            return;
        m_saveFailure->setText(Localization::text("settings_not_saved", m_language));
        m_saveFailure->show();
    });

    connect(&m_context.settings, &SettingsStore::changed, this, [this](const QString &key) {
        m_saveFailure->hide();
        if (key == Settings::appLanguage.key()) {
            // The change may come from a menu of the page itself: the page is rebuilt once the menu
            // has finished with it.
            if (m_rebuildPending)
                return;
            m_rebuildPending = true;
            m_context.scheduler.post([self = QPointer<SettingsView>(this)] {
                if (!self)
                    return;
                self->m_rebuildPending = false;
                self->applyLanguage();
            });
        } else if (key == Settings::blurAmount.key()) {
            m_blurAmount = Settings::blurAmount.clamp(m_context.settings.get(Settings::blurAmount));
            update();
        }
    });
    m_language = Localization::storedLanguage(m_context.settings);
    for (int i = 0; i < m_sidebarButtons.size(); ++i)
        m_sidebarButtons[i]->setText(title(allSettingsTabs[size_t(i)], m_language));
    buildPage();
}

SettingsView::~SettingsView()
{
    closePage();
}

void SettingsView::selectTab(SettingsTab tab)
{
    if (tab == m_selectedTab && m_page) {
        m_sidebarButtons[int(tab)]->setChecked(true);
        return;
    }
    m_selectedTab = tab;
    // The page it replaces fades out as a still picture where it stood.
    const bool animated = m_page && isVisible();
    QPixmap leaving;
    QRect leavingFrame;
    if (animated) {
        leaving = stillPicture(*m_page);
        leavingFrame = m_page->geometry();
    }
    buildPage();
    if (!animated)
        return;
    delete m_leavingPage.data();
    auto *picture = new QLabel(m_scroll->widget());
    picture->setAttribute(Qt::WA_TransparentForMouseEvents);
    picture->setPixmap(leaving);
    picture->setGeometry(leavingFrame);
    picture->show();
    m_leavingPage = picture;
    m_pageFade.setValue(0);
    m_pageFade.springTo(1, pageSpringResponse, pageSpringDamping);
}

void SettingsView::followPageFade()
{
    const double shown = m_pageFade.clamped();
    if (m_page)
        setScaleFade(m_page, shown);
    if (!m_leavingPage)
        return;
    if (shown >= 1 && !m_pageFade.isRunning())
        delete m_leavingPage.data();
    else
        setScaleFade(m_leavingPage, 1 - shown);
}

void SettingsView::closePage()
{
    if (!m_page)
        return;
    SettingsPage *leaving = m_page;
    m_page = nullptr;
    leaving->pageWillDisappear();
    leaving->hide();
    leaving->deleteLater();
}

void SettingsView::applyLanguage()
{
    // The page is built anew in the new language where the user was reading it: the language is
    // chosen from a row below the page's top.
    QScrollBar *scroll = m_scroll->verticalScrollBar();
    const int place = scroll->value();
    m_language = Localization::storedLanguage(m_context.settings);
    for (int i = 0; i < m_sidebarButtons.size(); ++i)
        m_sidebarButtons[i]->setText(title(allSettingsTabs[size_t(i)], m_language));
    buildPage();
    // The new page's height is known once its layout has run.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    scroll->setValue(place);
}

void SettingsView::buildPage()
{
    closePage();
    m_saveFailure->hide();
    for (int i = 0; i < m_sidebarButtons.size(); ++i)
        m_sidebarButtons[i]->setChecked(allSettingsTabs[size_t(i)] == m_selectedTab);
    m_header->setText(title(m_selectedTab, m_language));
    QWidget *column = m_scroll->widget();
    switch (m_selectedTab) {
    case SettingsTab::general:
        m_page = new GeneralSettingsSection(m_context.settings, m_context.scheduler, m_context.permissions,
                                            m_language, m_context.setLaunchAtLogin, column);
        break;
    case SettingsTab::appearance:
        m_page = new AppearanceSettingsSection(m_context.settings, m_context.scheduler, m_language,
                                               m_context.hasHaptics, column);
        break;
    case SettingsTab::shortcuts:
        m_page = new ShortcutsSettingsSection(m_context.settings, m_context.dockMonitor, m_language, column);
        break;
    case SettingsTab::guide:
        m_page = new GuideSection(m_language, m_context.settings, column);
        break;
    case SettingsTab::blocker:
        m_page = new AppBlockerSection(
            m_context.settings,
            AppBlockerSection::Applications{m_context.installedApplications, m_context.applicationIcon,
                                            m_context.applicationReads, &m_context.scheduler},
            m_language, column);
        break;
    case SettingsTab::contact:
        m_page = new ContactSection(m_language, m_context.openURL, column);
        break;
    case SettingsTab::about:
        m_page = new AboutSection(m_language, m_context.scheduler, m_context.openURL, column);
        break;
    case SettingsTab::diagnostics:
        m_page = new DiagnosticsSettingsSection(m_context.settings, m_context.diagnostics,
                                                m_context.scheduler, m_language, column);
        break;
    }
    m_column->addWidget(m_page);
    m_page->show();
    m_scroll->verticalScrollBar()->setValue(0);
}

QString SettingsView::saveFailureText() const
{
    return m_saveFailure->isVisibleTo(this) ? m_saveFailure->text() : QString();
}

QStringList SettingsView::sidebarTitles() const
{
    QStringList titles;
    for (const QAbstractButton *button : m_sidebarButtons)
        titles << button->text();
    return titles;
}

QString SettingsView::headerTitle() const
{
    return m_header->text();
}

QAbstractButton *SettingsView::sidebarButton(SettingsTab tab) const
{
    return m_sidebarButtons[int(tab)];
}

void SettingsView::paintEvent(QPaintEvent *)
{
    // An ordinary window: the glass is painted opaque in the material of the blur amount.
    QPainter painter(this);
    QPainterPath all;
    all.addRect(QRectF(rect()));
    DockGlassBackground::paint(painter, all, m_blurAmount);
}

void SettingsView::mousePressEvent(QMouseEvent *event)
{
    // A press that no control took moves the window, as on the window's title.
    if (event->button() == Qt::LeftButton && window()->windowHandle()) {
        window()->windowHandle()->startSystemMove();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void SettingsView::closeEvent(QCloseEvent *event)
{
    closePage();
    QWidget::closeEvent(event);
}

} // namespace qv
