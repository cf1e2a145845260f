#include "views/items/itemwidget.h"

#include <QApplication>
#include <QCursor>
#include <QEnterEvent>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QTextLayout>

#include <limits>

#include "ui/symbols.h"
#include "views/items/ageclock.h"

namespace qv {

ItemWidget::ItemWidget(AgeClock &ages, QWidget *parent) : QWidget(parent), m_ages(ages)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover);
    connect(&ages, &AgeClock::ticked, this, [this] {
        if (isVisible())
            update();
    });
}

ItemWidget::~ItemWidget()
{
    // A view deleted on screen gets no hide event.
    if (m_holdsClock)
        m_holdsClock->hidden();
}

void ItemWidget::showEvent(QShowEvent *event)
{
    if (!m_holdsClock) {
        m_holdsClock = &m_ages;
        m_ages.shown();
    }
    QWidget::showEvent(event);
}

void ItemWidget::hideEvent(QHideEvent *event)
{
    if (m_holdsClock) {
        m_holdsClock->hidden();
        m_holdsClock.clear();
    }
    QWidget::hideEvent(event);
}

QRectF ItemWidget::buttonRect(int id) const
{
    for (const auto &button : buttons()) {
        if (button.id == id)
            return button.rect;
    }
    return {};
}

void ItemWidget::pointerMoved(const QPointF &pos)
{
    if (!m_hovered) {
        m_hovered = true;
        hoverChanged();
    }
    int over = -1;
    for (const auto &button : buttons()) {
        if (button.rect.contains(pos))
            over = button.id;
    }
    if (over != m_hoveredButton) {
        const int previous = m_hoveredButton;
        m_hoveredButton = over;
        buttonHoverChanged(previous);
    }
    update();
}

void ItemWidget::pointerLeft()
{
    if (m_hoveredButton != -1) {
        const int previous = m_hoveredButton;
        m_hoveredButton = -1;
        buttonHoverChanged(previous);
    }
    if (m_hovered) {
        m_hovered = false;
        hoverChanged();
    }
    update();
}

void ItemWidget::followPointer()
{
    const QPoint global = QCursor::pos();
    const QWidget *under = QApplication::widgetAt(global);
    if (isVisible() && under && (under == this || isAncestorOf(under)))
        pointerMoved(mapFromGlobal(global.toPointF()));
    else
        pointerLeft();
}

void ItemWidget::runMenu(QMenu &menu, const QPoint &globalPos)
{
    const QPointer<ItemWidget> self(this);
    menu.exec(globalPos);
    if (self)
        self->followPointer();
}

void ItemWidget::enterEvent(QEnterEvent *event)
{
    pointerMoved(event->position());
}

void ItemWidget::leaveEvent(QEvent *)
{
    pointerLeft();
}

void ItemWidget::mouseMoveEvent(QMouseEvent *event)
{
    pointerMoved(event->position());
    if (m_pressed && (event->buttons() & Qt::LeftButton) &&
        (event->position() - m_pressPos).manhattanLength() >= QApplication::startDragDistance()) {
        bool onButton = false;
        for (const auto &button : buttons())
            onButton = onButton || button.rect.contains(m_pressPos);
        if (!onButton) {
            m_pressed = false;
            dragStarted();
            return;
        }
    }
    QWidget::mouseMoveEvent(event);
}

void ItemWidget::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_pressed = true;
        m_pressPos = event->position();
    }
    QWidget::mousePressEvent(event);
}

void ItemWidget::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_pressed)
        return;
    m_pressed = false;
    for (const auto &button : buttons()) {
        if (button.rect.contains(event->position()) && button.rect.contains(m_pressPos)) {
            buttonClicked(button.id);
            return;
        }
    }
    bodyClicked();
}

void ItemWidget::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    for (const auto &button : buttons()) {
        if (button.rect.contains(event->position()))
            return;
    }
    bodyDoubleClicked();
}

void ItemWidget::drawSymbol(QPainter &painter, const QRectF &box, const QString &symbol, const QColor &color,
                            int size)
{
    const double dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QPixmap pixmap = Symbols::pixmap(symbol, size, color, dpr);
    painter.drawPixmap(QRectF(box.center().x() - size / 2.0, box.center().y() - size / 2.0, size, size),
                       pixmap, QRectF(pixmap.rect()));
}

void ItemWidget::drawFace(QPainter &painter, const QRectF &box, const QString &symbol,
                          const QColor &foreground, const QColor &background, int symbolSize, double radius)
{
    QPainterPath path;
    if (radius < 0)
        path.addEllipse(box);
    else
        path.addRoundedRect(box, radius, radius);
    painter.fillPath(path, background);
    drawSymbol(painter, box, symbol, foreground, symbolSize);
}

namespace {

// The text as drawLines() lays it out: tabs as spaces, each newline a line break of its own.
QString laidOutText(const QString &text)
{
    QString plain = text;
    plain.replace(QLatin1Char('\t'), QLatin1Char(' '));
    plain.replace(QLatin1Char('\n'), QChar::LineSeparator);
    return plain;
}

// Lines of `width` as drawLines() shows them: at most `maxLines`, and no line past `maxHeight`
// but the first. `cut` tells whether text is left over. The layout is begun and ended here.
QList<QTextLine> layLines(QTextLayout &layout, Qt::Alignment alignment, double width, double maxHeight,
                          int maxLines, double lineSpacing, bool &cut)
{
    QTextOption option(alignment);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    double y = 0;
    QList<QTextLine> lines;
    while (lines.size() < maxLines) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        if (y + line.height() > maxHeight && !lines.isEmpty())
            break;
        line.setPosition(QPointF(0, y));
        y += line.height() + lineSpacing;
        lines.append(line);
    }
    cut = layout.createLine().isValid();
    layout.endLayout();
    return lines;
}

} // namespace

double ItemWidget::linesHeight(const QFont &font, const QString &text, double width, int maxLines,
                               double lineSpacing)
{
    QTextLayout layout(laidOutText(text), font);
    bool cut = false;
    const QList<QTextLine> lines =
        layLines(layout, Qt::AlignLeft, width, std::numeric_limits<double>::infinity(), maxLines, lineSpacing, cut);
    return lines.isEmpty() ? 0 : lines.last().y() + lines.last().height();
}

void ItemWidget::drawLines(QPainter &painter, const QRectF &box, const QString &text, int maxLines,
                           double lineSpacing, Qt::Alignment alignment)
{
    const QString plain = laidOutText(text);
    QTextLayout layout(plain, painter.font());
    bool cut = false;
    const QList<QTextLine> lines = layLines(layout, alignment, box.width(), box.height(), maxLines, lineSpacing, cut);
    // Whatever a text stacks above or below its lines stays inside the box.
    painter.save();
    painter.setClipRect(box, Qt::IntersectClip);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QTextLine &line = lines[i];
        if (i == lines.size() - 1 && cut) {
            // The last shown line carries the rest of the text, cut with an ellipsis.
            const QString rest = plain.mid(line.textStart()).section(QChar::LineSeparator, 0, 0);
            const QString elided = painter.fontMetrics().elidedText(rest + QStringLiteral("…"),
                                                                    Qt::ElideRight, int(box.width()));
            painter.drawText(QRectF(box.left(), box.top() + line.y(), box.width(), line.height()),
                             int(alignment) | Qt::AlignTop, elided);
        } else {
            line.draw(&painter, box.topLeft());
        }
    }
    painter.restore();
}

void ItemWidget::drawImage(QPainter &painter, const QRectF &box, const QImage &image, bool fill,
                           double radius)
{
    if (image.isNull() || box.isEmpty())
        return;
    const QSizeF size =
        QSizeF(image.size()).scaled(box.size(), fill ? Qt::KeepAspectRatioByExpanding : Qt::KeepAspectRatio);
    const QRectF target(box.center().x() - size.width() / 2, box.center().y() - size.height() / 2,
                        size.width(), size.height());
    painter.save();
    QPainterPath clip;
    clip.addRoundedRect(box, radius, radius);
    painter.setClipPath(clip, Qt::IntersectClip);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, image);
    painter.restore();
}

} // namespace qv
