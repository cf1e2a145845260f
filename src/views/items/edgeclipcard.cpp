#include "views/items/edgeclipcard.h"

#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextLayout>
#include <QToolTip>

#include "core/color.h"
#include "ui/theme.h"
#include "views/items/ageclock.h"
#include "views/items/itemrules.h"

namespace qv {

EdgeClipCard::EdgeClipCard(const ClipboardItem &item, Action onCopy, Action onPreview, Action onDelete,
                           AgeClock &ages, QWidget *parent)
    : EdgeClipCard(Shape::Card, item, std::move(onCopy), std::move(onPreview), std::move(onDelete), ages,
                   parent)
{
}

EdgeClipCard::EdgeClipCard(Shape shape, const ClipboardItem &item, Action onCopy, Action onPreview,
                           Action onDelete, AgeClock &ages, QWidget *parent)
    : EdgeItemView(shape, Color::neonGreen(), ages, parent), m_item(item), m_onCopy(std::move(onCopy)),
      m_onPreview(std::move(onPreview)), m_onDelete(std::move(onDelete)),
      m_copied(ages.scheduler(), copyFeedbackDuration, [this] { update(); })
{
}

EdgeClipRow::EdgeClipRow(const ClipboardItem &item, Action onCopy, Action onPreview, Action onDelete,
                         AgeClock &ages, QWidget *parent)
    : EdgeClipCard(Shape::Row, item, std::move(onCopy), std::move(onPreview), std::move(onDelete), ages,
                   parent)
{
}

bool EdgeClipCard::showsBadge() const
{
    return shape() == Shape::Card && ItemRules::isRemote(m_item.deviceSource);
}

double EdgeClipCard::rowPreviewHeight(double width) const
{
    return rowPreviewHeightOf(m_item, width);
}

int EdgeClipCard::rowHeightOf(const ClipboardItem &item, int width)
{
    return rowHeight(rowPreviewHeightOf(item, rowContentWidth(width)));
}

double EdgeClipCard::rowPreviewHeightOf(const ClipboardItem &item, double width)
{
    if (item.isImage && !item.thumbnail.isNull())
        return 110;
    QTextLayout layout(ItemRules::displayText(item.text, ItemRules::cardText), Theme::systemFont(14));
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    double height = 0;
    for (int i = 0; i < 5; ++i) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(std::max(1.0, width));
        height += line.height() + (i ? 4 : 0);
    }
    layout.endLayout();
    return std::max(height, 18.0);
}

void EdgeClipCard::paintPreview(QPainter &painter, const QRectF &box)
{
    if (showsThumbnail()) {
        const bool card = shape() == Shape::Card;
        const QRectF target =
            card ? QRectF(box.left(), box.top(), 216, 120) : QRectF(box.left(), box.top(), box.width(), 110);
        drawImage(painter, target, m_thumbnail.picture(m_item.thumbnail), true, card ? 6 : 8);
        return;
    }
    const bool card = shape() == Shape::Card;
    painter.setFont(Theme::systemFont(card ? 13 : 14));
    painter.setPen(Theme::white(0.85));
    drawLines(painter, box, ItemRules::displayText(m_item.text, ItemRules::cardText), card ? 12 : 5,
              card ? 3 : 4);
}

QList<std::pair<QString, QColor>> EdgeClipCard::footerSymbols() const
{
    return {{m_item.isImage ? QStringLiteral("photo") : QStringLiteral("text.quote"), Theme::white(0.3)}};
}

void EdgeClipCard::paintFooterEnd(QPainter &painter, const QRectF &box)
{
    if (!showsBadge())
        return;
    const QRectF badge(box.right() - 4 - 16, box.top(), 16, box.height());
    m_badgeRect = badge;
    // A soft cyan glow behind the phone.
    const QPointF centre = badge.center();
    QRadialGradient glow(centre, 12);
    glow.setColorAt(0, tinted(Color::neonCyan(), 0.45));
    glow.setColorAt(1, tinted(Color::neonCyan(), 0.0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(glow);
    painter.drawEllipse(centre, 12, 12);
    drawSymbol(painter, badge, QStringLiteral("iphone"), Color::neonCyan(), 14);
}

QList<EdgeItemView::Face> EdgeClipCard::faces() const
{
    const int over = hoveredButton();
    const bool copied = m_copied.isShowing();
    return {
        {Copy, copied ? QStringLiteral("checkmark") : QStringLiteral("doc.on.doc"),
         copied ? Color::neonGreen() : Theme::white(over == Copy ? 1.0 : 0.4),
         Theme::white(over == Copy ? 0.15 : 0.08)},
        {Eye, QStringLiteral("eye"), Theme::white(over == Eye ? 1.0 : 0.4),
         Theme::white(over == Eye ? 0.15 : 0.08)},
        {Trash, QStringLiteral("trash"), over == Trash ? Color::neonRed() : Theme::white(0.4),
         over == Trash ? tinted(Color::neonRed(), 0.15) : Theme::white(0.08)},
    };
}

bool EdgeClipCard::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        if (showsBadge() && m_badgeRect.contains(help->pos()))
            QToolTip::showText(help->globalPos(), QStringLiteral("Synced from iPhone"), this);
        else
            QToolTip::hideText();
        return true;
    }
    return EdgeItemView::event(event);
}

void EdgeClipCard::buttonClicked(int id)
{
    if (id == Copy) {
        if (m_onCopy)
            m_onCopy(m_item);
        m_copied.trigger();
    } else if (id == Eye && m_onPreview) {
        m_onPreview(m_item);
    } else if (id == Trash && m_onDelete) {
        m_onDelete(m_item);
    }
}

} // namespace qv
