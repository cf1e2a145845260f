#include "views/items/clipboarditemview.h"

#include <QAbstractScrollArea>
#include <QPainter>
#include <QScrollBar>
#include <QPainterPath>
#include <QPointer>

#include "core/color.h"
#include "core/settingskeys.h"
#include "core/settingsstore.h"
#include "ui/theme.h"
#include "views/items/ageclock.h"
#include "views/items/itemrules.h"

namespace qv {

void ActiveItemID::setValue(const QUuid &value)
{
    if (value == m_value)
        return;
    m_value = value;
    emit changed();
}

static constexpr double face = 26;
static constexpr double stripSpacing = 6;

ClipboardItemView::ClipboardItemView(const ClipboardItem &item, ActiveItemID &activeItemID,
                                     SettingsStore &settings, Actions actions, AgeClock &ages,
                                     QWidget *parent)
    : ItemWidget(ages, parent), m_item(item), m_activeItemID(activeItemID), m_settings(settings),
      m_actions(std::move(actions)), m_scheduler(ages.scheduler()),
      m_copied(m_scheduler, copyFeedbackDuration, [this] { update(); })
{
    connect(&settings, &SettingsStore::changed, this, [this](const QString &key) {
        if (key == Settings::maskSensitiveClipboard.key())
            update();
    });
    connect(&activeItemID, &ActiveItemID::changed, this, qOverload<>(&QWidget::update));
}

bool ClipboardItemView::isActive() const
{
    return !m_item.id.isNull() && m_activeItemID.value() == m_item.id;
}

bool ClipboardItemView::isMasked() const
{
    return m_item.isSensitive && !(m_item.isImage && m_item.imageSize) &&
           m_settings.get(Settings::maskSensitiveClipboard);
}

QString ClipboardItemView::titleText() const
{
    if (m_item.isImage && m_item.imageSize)
        return ItemRules::imageTitle(*m_item.imageSize, ages().language());
    if (isMasked())
        return QString(8, QChar(0x2022));
    return m_item.text;
}

QSize ClipboardItemView::sizeHint() const
{
    return {320, 48};
}

bool ClipboardItemView::stripVisible() const
{
    return isHovered() || isActive();
}

QRectF ClipboardItemView::buttonBox(int index) const
{
    const double right = width() - 10;
    const double left = right - 3 * face - 2 * stripSpacing + index * (face + stripSpacing);
    return {left, (height() - face) / 2, face, face};
}

QList<ItemWidget::Button> ClipboardItemView::buttons() const
{
    if (!stripVisible())
        return {};
    return {{Copy, buttonBox(0)}, {Eye, buttonBox(1)}, {Trash, buttonBox(2)}};
}

void ClipboardItemView::buttonClicked(int id)
{
    if (id == Copy) {
        if (m_actions.onCopy)
            m_actions.onCopy();
        m_copied.trigger();
    } else if (id == Trash) {
        const bool wasActive = isActive();
        if (m_actions.onDelete)
            m_actions.onDelete();
        // No other row may inherit the open bubble.
        if (wasActive)
            m_activeItemID.setValue(QUuid());
    }
}

void ClipboardItemView::hoverChanged()
{
    if (!isHovered() && isActive() && m_actions.onEyeLeave)
        m_actions.onEyeLeave();
}

void ClipboardItemView::buttonHoverChanged(int)
{
    if (hoveredButton() != Eye)
        return;
    // Not inside the hover callback: on the next turn, like any deferred hop.
    QPointer<ClipboardItemView> self(this);
    m_scheduler.post([self] {
        if (!self)
            return;
        self->m_activeItemID.setValue(self->m_item.id);
        if (self->m_actions.onShowPreview)
            self->m_actions.onShowPreview(self->m_eyeGlobalFrame);
    });
}

void ClipboardItemView::updateEyeFrame()
{
    const QRectF local = buttonBox(1);
    const QWidget *host = window();
    m_eyeGlobalFrame = QRectF(mapTo(host, local.topLeft().toPoint()), local.size());
}

void ClipboardItemView::moveEvent(QMoveEvent *event)
{
    ItemWidget::moveEvent(event);
    updateEyeFrame();
}

void ClipboardItemView::showEvent(QShowEvent *event)
{
    ItemWidget::showEvent(event);
    followEnclosingScroll();
    updateEyeFrame();
}

void ClipboardItemView::followEnclosingScroll()
{
    // Scrolling moves the list, not the row: the row hears of it from the scroll bars.
    for (QWidget *ancestor = parentWidget(); ancestor; ancestor = ancestor->parentWidget()) {
        auto *area = qobject_cast<QAbstractScrollArea *>(ancestor);
        if (!area || m_followedScrolls.contains(area))
            continue;
        m_followedScrolls.append(area);
        for (QScrollBar *bar : {area->verticalScrollBar(), area->horizontalScrollBar()})
            connect(bar, &QScrollBar::valueChanged, this, &ClipboardItemView::updateEyeFrame);
    }
}

void ClipboardItemView::resizeEvent(QResizeEvent *event)
{
    ItemWidget::resizeEvent(event);
    updateEyeFrame();
}

void ClipboardItemView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool hovered = isHovered();
    const bool remote = ItemRules::isRemote(m_item.deviceSource);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), 8, 8);
    if (hovered)
        painter.fillPath(shape, Theme::white(0.08));

    // Icon tile.
    const QRectF tile(10, (height() - 24) / 2.0, 24, 24);
    QPainterPath tilePath;
    tilePath.addRoundedRect(tile, 6, 6);
    painter.fillPath(tilePath, remote ? tinted(Color::neonCyan(), 0.1) : Theme::white(0.06));
    if (remote) {
        QColor cyan = Color::neonCyan();
        if (!hovered)
            cyan.setAlphaF(0.8f);
        drawSymbol(painter, tile, QStringLiteral("iphone.gen3"), cyan, 13);
    } else if (m_item.isImage && !m_item.thumbnail.isNull()) {
        drawImage(painter, tile, m_thumbnail.picture(m_item.thumbnail), true, 6);
    } else {
        drawSymbol(painter, tile, QStringLiteral("doc.on.clipboard"),
                   hovered ? Color::neonGreen() : Theme::white(0.6), 13);
    }

    // Text column: title and footer, up to the strip (which keeps its room while hidden).
    const double textLeft = tile.right() + 8;
    const double textRight = buttonBox(0).left() - 8;
    const QRectF titleBox(textLeft, 8, std::max(0.0, textRight - textLeft), 16);
    if (m_item.isImage && m_item.imageSize) {
        painter.setFont(Theme::systemFont(12));
        QColor cyan = Color::neonCyan();
        cyan.setAlphaF(0.9f);
        painter.setPen(cyan);
        painter.drawText(
            titleBox, Qt::AlignLeft | Qt::AlignVCenter,
            painter.fontMetrics().elidedText(titleText(), Qt::ElideRight, int(titleBox.width())));
    } else if (isMasked()) {
        drawSymbol(painter, QRectF(titleBox.left(), titleBox.top(), 10, titleBox.height()),
                   QStringLiteral("lock.fill"), Color::neonRed(), 10);
        painter.setFont(Theme::systemFont(14, QFont::Black));
        QColor red = Color::neonRed();
        red.setAlphaF(0.8f);
        painter.setPen(red);
        painter.drawText(titleBox.adjusted(14, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, titleText());
    } else {
        painter.setFont(Theme::systemFont(12));
        painter.setPen(Theme::white(0.9));
        const QString line = ItemRules::displayText(m_item.text, ItemRules::firstLineText);
        // Stacked marks stay above the footer.
        painter.save();
        painter.setClipRect(QRectF(titleBox.left(), 0, titleBox.width(), titleBox.bottom() + 3),
                            Qt::IntersectClip);
        painter.drawText(titleBox, Qt::AlignLeft | Qt::AlignVCenter,
                         painter.fontMetrics().elidedText(line, Qt::ElideRight, int(titleBox.width())));
        painter.restore();
    }
    painter.setFont(Theme::systemFont(10));
    painter.setPen(Theme::white(0.35));
    const QRectF footer(textLeft, titleBox.bottom() + 3, titleBox.width(), 13);
    const QString time = QLocale().toString(m_item.date.time(), QLocale::ShortFormat);
    painter.drawText(footer, Qt::AlignLeft | Qt::AlignVCenter, time);
    if (remote) {
        double x = textLeft + painter.fontMetrics().horizontalAdvance(time) + 4;
        painter.drawText(QRectF(x, footer.top(), 8, footer.height()), Qt::AlignCenter, QStringLiteral("•"));
        x += 12;
        painter.setFont(Theme::systemFont(9, QFont::Bold));
        const QString label = QStringLiteral("Relaywave");
        const QRectF badge(x, footer.top(), 4 + 8 + 2 + painter.fontMetrics().horizontalAdvance(label) + 4,
                           footer.height());
        QPainterPath badgePath;
        badgePath.addRoundedRect(badge, 4, 4);
        QColor fill = Color::neonCyan();
        fill.setAlphaF(0.1f);
        painter.fillPath(badgePath, fill);
        drawSymbol(painter, QRectF(badge.left() + 4, badge.top(), 8, badge.height()),
                   QStringLiteral("iphone.smartbatterycase"), Color::neonCyan(), 8);
        painter.setPen(Color::neonCyan());
        painter.drawText(badge.adjusted(14, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter, label);
    }

    if (!stripVisible())
        return;
    const bool copyLit = m_copied.isShowing() || hoveredButton() == Copy;
    drawFace(painter, buttonBox(0),
             m_copied.isShowing() ? QStringLiteral("checkmark") : QStringLiteral("doc.on.doc"),
             copyLit ? Color::neonGreen() : Theme::white(0.7),
             copyLit ? tinted(Color::neonGreen(), 0.2) : Theme::white(0.1), 11, 6);
    const bool eyeLit = isActive();
    drawFace(painter, buttonBox(1), QStringLiteral("eye"), eyeLit ? Color::neonCyan() : Theme::white(0.7),
             eyeLit ? tinted(Color::neonCyan(), 0.2) : Theme::white(0.1), 11, 6);
    const bool trashLit = hoveredButton() == Trash;
    drawFace(painter, buttonBox(2), QStringLiteral("trash"), trashLit ? Color::neonRed() : Theme::white(0.7),
             trashLit ? tinted(Color::neonRed(), 0.2) : Theme::white(0.1), 11, 6);
}

} // namespace qv
