#include "views/superpanel/superpaneloverlay.h"

#include <QKeyEvent>
#include <QPainter>

#include <utility>

#include "ui/panel.h"
#include "ui/theme.h"
#include "windows/overlayroute.h"
#include "windows/windowengine.h"

namespace qv {

namespace {

constexpr int margin = 60;
constexpr double titleSize = 28;
constexpr double rowSize = 15;

} // namespace

SuperPanelOverlay::SuperPanelOverlay(WindowEngine &engine, Presented isPresented, QWidget *parent)
    : QWidget(parent), m_engine(engine), m_isPresented(std::move(isPresented))
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_TranslucentBackground);
    connect(&engine, &WindowEngine::windowsChanged, this, qOverload<>(&QWidget::update));
    connect(&engine, &WindowEngine::currentOverlayRouteChanged, this, qOverload<>(&QWidget::update));
}

bool SuperPanelOverlay::isPresented() const
{
    return m_isPresented.get && m_isPresented.get();
}

void SuperPanelOverlay::setPresented(bool presented)
{
    if (m_isPresented.set)
        m_isPresented.set(presented);
}

QString SuperPanelOverlay::routeName() const
{
    return rawValue(m_engine.currentOverlayRoute());
}

QStringList SuperPanelOverlay::windowTitles() const
{
    QStringList titles;
    for (const AppWindowModel &window : m_engine.windows())
        titles.append(window.title.isEmpty() ? window.appName : window.title);
    return titles;
}

void SuperPanelOverlay::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // Without a compositor the window cannot show the desktop through it: an opaque fill of the same
    // darkness instead of a see-through one that would paint black.
    const auto *panel = qobject_cast<const Panel *>(window());
    const bool translucent = !panel || panel->isTranslucent();
    painter.fillRect(rect(), translucent ? Theme::black(0.55) : Theme::ultraThinMaterial(false));

    painter.setPen(Theme::white(0.95));
    const QFont title = Theme::systemFont(titleSize, QFont::DemiBold);
    painter.setFont(title);
    const int titleHeight = QFontMetrics(title).height();
    painter.drawText(QRect(margin, margin, width() - 2 * margin, titleHeight),
                     Qt::AlignLeft | Qt::AlignVCenter, routeName());

    const QFont row = Theme::systemFont(rowSize);
    painter.setFont(row);
    painter.setPen(Theme::white(0.8));
    const int rowHeight = QFontMetrics(row).height() + 6;
    int y = margin + titleHeight + 24;
    for (const QString &text : windowTitles()) {
        if (y + rowHeight > height() - margin)
            break;
        painter.drawText(QRect(margin, y, width() - 2 * margin, rowHeight), Qt::AlignLeft | Qt::AlignVCenter,
                         text);
        y += rowHeight;
    }
}

void SuperPanelOverlay::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        setPresented(false);
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace qv
