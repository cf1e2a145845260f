#include "views/superpanel/clipboardpreviewbubble.h"

#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>

#include "core/color.h"
#include "core/settingskeys.h"
#include "core/settingsstore.h"
#include "ui/shadowunder.h"
#include "ui/symbols.h"
#include "ui/theme.h"
#include "views/items/itemrules.h"
#include "views/items/safeimagepreview.h"
#include "views/superpanel/columnstate.h"

namespace qv {

namespace {
constexpr double cardPadding = 12;
constexpr double headerHeight = 16;
constexpr double contentTop = cardPadding + headerHeight + 8;
constexpr int filePixelSize = 400;
constexpr double pictureHeight = 180;
constexpr double textHeight = 100;
constexpr double cardRadius = 10;
// The lock, its title and its two lines, with 20 above and below.
constexpr double noticeHeight = 20 + 90 + 20;

// The card's height for what it holds: header and content inside its padding.
double cardHeight(ColumnRules::BubbleContent content)
{
    switch (content) {
    case ColumnRules::BubbleContent::Thumbnail:
    case ColumnRules::BubbleContent::File:
        return contentTop + pictureHeight + cardPadding;
    case ColumnRules::BubbleContent::Protected:
        return contentTop + noticeHeight + cardPadding;
    case ColumnRules::BubbleContent::Text:
        return contentTop + textHeight + cardPadding;
    case ColumnRules::BubbleContent::Nothing:
        break;
    }
    return cardPadding + headerHeight + cardPadding;
}
} // namespace

ClipboardPreviewBubble::ClipboardPreviewBubble(SuperPanelColumnState &state, SettingsStore &settings,
                                               std::shared_ptr<WorkQueue> decodeQueue, Scheduler &scheduler,
                                               QWidget *parent)
    : QWidget(parent), m_state(state), m_settings(settings), m_decodeQueue(std::move(decodeQueue)),
      m_scheduler(scheduler)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setObjectName(QStringLiteral("clipboardPreviewBubble"));
    m_text = new QPlainTextEdit(this);
    m_text->setReadOnly(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_text->setFrameShape(QFrame::NoFrame);
    m_text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_text->setFont(Theme::systemFont(12));
    m_text->viewport()->setAutoFillBackground(false);
    m_text->setStyleSheet(
        QStringLiteral("QPlainTextEdit { background: transparent; color: rgba(255,255,255,217); }"));
    m_text->hide();
    hide();
    // It floats over the column's rows on a soft shadow.
    new ShadowUnder(*this, ShadowUnder::Look{16, 0.5, 20, 8});
    connect(&state, &SuperPanelColumnState::clipboardPreviewChanged, this, &ClipboardPreviewBubble::follow);
    connect(&state, &SuperPanelColumnState::columnTopChanged, this, &ClipboardPreviewBubble::place);
    connect(&settings, &SettingsStore::changed, this, [this](const QString &key) {
        if (key == Settings::maskSensitiveClipboard.key())
            follow();
    });
}

void ClipboardPreviewBubble::follow()
{
    const auto item = m_state.clipboardPreviewItem();
    if (!item) {
        m_count.clear();
        hide();
        return;
    }
    m_content = ColumnRules::bubbleContent(*item, m_settings.get(Settings::maskSensitiveClipboard));
    m_count = item->isImage ? QString() : ColumnRules::charCount(item->text);
    place();
    const QRect content = contentRect().toRect();
    m_text->setVisible(m_content == ColumnRules::BubbleContent::Text);
    if (m_content == ColumnRules::BubbleContent::Text) {
        const QString shown = ItemRules::displayText(item->text, ItemRules::previewText);
        if (m_text->toPlainText() != shown)
            m_text->setPlainText(shown);
        m_text->setGeometry(content.x(), content.y(), content.width(), int(textHeight));
    }
    if (m_content == ColumnRules::BubbleContent::File) {
        if (!m_file)
            m_file = new SafeImagePreview(item->imageURL, filePixelSize, m_decodeQueue, m_scheduler, this);
        else
            m_file->setUrl(item->imageURL);
        m_file->setGeometry(content.x(), content.y(), content.width(), int(pictureHeight));
        m_file->show();
    } else if (m_file) {
        m_file->hide();
    }
    show();
    raise();
    update();
}

void ClipboardPreviewBubble::place()
{
    const auto item = m_state.clipboardPreviewItem();
    if (!item || !parentWidget())
        return;
    const QRectF eye = m_state.clipboardPreviewEyeRect();
    setGeometry(ColumnRules::bubbleFrame(parentWidget()->width(), eye.center().y(), m_state.columnTop(),
                                         item->isImage)
                    .toRect());
}

QRectF ClipboardPreviewBubble::cardRect() const
{
    // The card takes the bubble's width and its own height, centred in the bubble's frame.
    const double height = cardHeight(m_content);
    return {0, (this->height() - height) / 2, double(width()), height};
}

QRectF ClipboardPreviewBubble::contentRect() const
{
    const QRectF card = cardRect();
    return {card.left() + cardPadding, card.top() + contentTop, card.width() - 2 * cardPadding,
            card.height() - contentTop - cardPadding};
}

void ClipboardPreviewBubble::paintEvent(QPaintEvent *)
{
    const auto item = m_state.clipboardPreviewItem();
    if (!item)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath outer;
    outer.addRoundedRect(QRectF(rect()), 16, 16);
    painter.setClipPath(outer);

    // The card floats inside the bubble on a shadow of its own.
    const QRectF card = cardRect();
    Theme::paintShadow(painter, card, cardRadius, 0.5, 20, 10);
    QPainterPath shape;
    shape.addRoundedRect(card.adjusted(0.5, 0.5, -0.5, -0.5), cardRadius, cardRadius);
    painter.fillPath(shape, Theme::ultraThinMaterial(false));
    QColor rim = Color::neonCyan();
    rim.setAlphaF(0.3f);
    painter.setPen(QPen(rim, 1));
    painter.drawPath(shape);

    // Header: kind, "Preview", and for text the number of characters.
    const QRectF header(card.left() + cardPadding, card.top() + cardPadding, card.width() - 2 * cardPadding,
                        headerHeight);
    const double dpr = devicePixelRatioF();
    const QString symbol = item->isImage ? QStringLiteral("photo") : QStringLiteral("text.quote");
    painter.drawPixmap(QRectF(header.left(), header.center().y() - 6, 12, 12),
                       Symbols::pixmap(symbol, 12, Color::neonCyan(), dpr), QRectF());
    painter.setFont(Theme::systemFont(11, QFont::DemiBold));
    painter.setPen(Color::neonCyan());
    painter.drawText(header.adjusted(18, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Preview"));
    if (!item->isImage) {
        painter.setFont(Theme::systemFont(10));
        painter.setPen(Theme::white(0.3));
        painter.drawText(header, Qt::AlignRight | Qt::AlignVCenter, countText());
    }

    const QRectF content = contentRect();
    if (m_content == ColumnRules::BubbleContent::Thumbnail) {
        const QRectF box(content.left(), content.top(), content.width(), pictureHeight);
        const QSizeF size = QSizeF(item->thumbnail.size()).scaled(box.size(), Qt::KeepAspectRatio);
        const QRectF picture(box.center().x() - size.width() / 2, box.center().y() - size.height() / 2,
                             size.width(), size.height());
        QPainterPath round;
        round.addRoundedRect(picture, 6, 6);
        painter.save();
        painter.setClipPath(round, Qt::IntersectClip);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(picture, m_thumbnail.picture(item->thumbnail));
        painter.restore();
    } else if (m_content == ColumnRules::BubbleContent::Protected) {
        const QRectF notice(content.left(), content.top() + 20, content.width(), content.height() - 40);
        const QPixmap lock = Symbols::pixmap(QStringLiteral("lock.shield.fill"), 30, Color::neonRed(), dpr);
        painter.drawPixmap(QRectF(notice.center().x() - 15, notice.top(), 30, 30), lock, QRectF());
        painter.setFont(Theme::systemFont(12, QFont::Bold));
        painter.setPen(Color::neonRed());
        painter.drawText(QRectF(notice.left(), notice.top() + 42, notice.width(), 18), Qt::AlignCenter,
                         QStringLiteral("Sensitive Content Protected"));
        painter.setFont(Theme::systemFont(10));
        painter.setPen(Theme::white(0.5));
        painter.drawText(QRectF(notice.left(), notice.top() + 64, notice.width(), 30),
                         Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                         QStringLiteral("Content is masked but can still be copied normally."));
    }
}

void ClipboardPreviewBubble::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    m_state.bubbleHoverChanged(true);
}

void ClipboardPreviewBubble::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    m_state.bubbleHoverChanged(false);
}

} // namespace qv
