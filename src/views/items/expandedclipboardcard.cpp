#include "views/items/expandedclipboardcard.h"

#include <QGraphicsDropShadowEffect>
#include <QPainter>
#include <QPainterPath>

#include "core/color.h"
#include "core/settingskeys.h"
#include "core/settingsstore.h"
#include "ui/theme.h"
#include "views/items/ageclock.h"
#include "views/items/itemrules.h"
#include "views/items/safeimagepreview.h"

namespace qv {

static constexpr double padding = 16;
static constexpr double headerHeight = 26;
static constexpr double face = 26;
static constexpr double maxImageHeight = 250;
static constexpr int maxTextLines = 12;

ExpandedClipboardCard::ExpandedClipboardCard(const ClipboardItem &item, std::function<void()> onCopy,
                                             std::function<void()> onDelete, std::function<void()> onPreview,
                                             SettingsStore &settings, std::shared_ptr<WorkQueue> decodeQueue,
                                             AgeClock &ages, QWidget *parent)
    : ItemWidget(ages, parent), m_item(item), m_onCopy(std::move(onCopy)), m_onDelete(std::move(onDelete)),
      m_onPreview(std::move(onPreview)), m_settings(settings),
      m_copied(ages.scheduler(), copyFeedbackDuration, [this] { update(); })
{
    // Its height follows its width: a fixed policy would hold it to the height of the width it had
    // before its column placed it (and centre it in the taller slot the column gives it).
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    if (body() == Body::File) {
        m_filePreview = new SafeImagePreview(item.imageURL, previewPixelSize, std::move(decodeQueue),
                                             ages.scheduler(), this);
        m_filePreview->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    connect(&settings, &SettingsStore::changed, this, [this](const QString &key) {
        if (key == Settings::maskSensitiveClipboard.key()) {
            updateGeometry();
            update();
        }
    });
}

ExpandedClipboardCard::Body ExpandedClipboardCard::body() const
{
    if (m_item.isImage) {
        if (!m_item.thumbnail.isNull())
            return Body::Thumbnail;
        return m_item.imageURL.isEmpty() ? Body::None : Body::File;
    }
    if (m_item.isSensitive && m_settings.get(Settings::maskSensitiveClipboard))
        return Body::Protected;
    return Body::Text;
}

bool ExpandedClipboardCard::showsBadge() const
{
    return ItemRules::isRemote(m_item.deviceSource);
}

QSize ExpandedClipboardCard::sizeHint() const
{
    const int w = std::max(width(), 300);
    return {w, heightForWidth(w)};
}

int ExpandedClipboardCard::heightForWidth(int width) const
{
    const double body = bodyHeight(width - 2 * padding);
    return int(std::ceil(2 * padding + headerHeight + (body > 0 ? 12 + body : 0)));
}

double ExpandedClipboardCard::bodyHeight(double width) const
{
    switch (body()) {
    case Body::None:
        return 0;
    case Body::Thumbnail: {
        const QSizeF size =
            QSizeF(m_item.thumbnail.size()).scaled(QSizeF(width, maxImageHeight), Qt::KeepAspectRatio);
        return std::min(maxImageHeight, size.height());
    }
    case Body::File:
        return maxImageHeight;
    case Body::Protected:
        return 20 + 10 + 32;
    case Body::Text: {
        // Measured as it is drawn, so the box holds exactly the lines shown.
        return linesHeight(Theme::systemFont(13), ItemRules::displayText(m_item.text, ItemRules::cardText), width,
                           maxTextLines, 0);
    }
    }
    return 0;
}

QRectF ExpandedClipboardCard::bodyRect() const
{
    const double w = width() - 2 * padding;
    return {padding, padding + headerHeight + 12, w, bodyHeight(w)};
}

void ExpandedClipboardCard::resizeEvent(QResizeEvent *event)
{
    ItemWidget::resizeEvent(event);
    if (m_filePreview)
        m_filePreview->setGeometry(bodyRect().toRect());
}

QList<ItemWidget::Button> ExpandedClipboardCard::buttons() const
{
    if (!isHovered())
        return {};
    const double right = width() - padding;
    const double top = padding + (headerHeight - face) / 2;
    QList<Button> result;
    for (int i = 0; i < 3; ++i)
        result.append({i, {right - (3 - i) * face - (2 - i) * 8, top, face, face}});
    return result;
}

void ExpandedClipboardCard::hoverChanged()
{
    // The green glow falls outside the card, where its own painting cannot reach; it exists only
    // while the pointer is on the card, so only that card pays for the effect.
    if (!isHovered()) {
        setGraphicsEffect(nullptr);
        return;
    }
    auto *shadow = new QGraphicsDropShadowEffect(this);
    shadow->setColor(tinted(Color::neonGreen(), 0.15));
    // Qt's blur radius is the whole soft edge, about twice the designed shadow radius.
    shadow->setBlurRadius(2 * hoverShadowRadius);
    shadow->setOffset(0, 4);
    setGraphicsEffect(shadow);
}

void ExpandedClipboardCard::buttonClicked(int id)
{
    if (id == Eye && m_onPreview) {
        m_onPreview();
    } else if (id == Copy) {
        if (m_onCopy)
            m_onCopy();
        m_copied.trigger();
    } else if (id == Trash && m_onDelete) {
        m_onDelete();
    }
}

void ExpandedClipboardCard::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool hovered = isHovered();
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath path;
    path.addRoundedRect(frame, 16, 16);
    painter.fillPath(path, Theme::white(hovered ? 0.08 : 0.05));
    painter.setPen(QPen(hovered ? tinted(Color::neonGreen(), 0.4) : Theme::white(0.1), 1));
    painter.drawPath(path);

    // Header: kind, time, badge; the strip at the end.
    const QRectF header(padding, padding, width() - 2 * padding, headerHeight);
    drawSymbol(painter, QRectF(header.left(), header.top(), 16, header.height()),
               m_item.isImage ? QStringLiteral("photo") : QStringLiteral("text.quote"),
               m_item.isImage ? Color::neonCyan() : Color::neonGreen(), 14);
    double x = header.left() + 16 + 10;
    painter.setFont(Theme::systemFont(10));
    painter.setPen(Theme::white(0.4));
    const QString time = ItemRules::timeWithSeconds(m_item.date, QLocale());
    painter.drawText(QRectF(x, header.top(), 200, header.height()), Qt::AlignLeft | Qt::AlignVCenter, time);
    x += painter.fontMetrics().horizontalAdvance(time) + 10;
    if (showsBadge()) {
        painter.setFont(Theme::systemFont(9, QFont::Black));
        const QString label = QStringLiteral("Relaywave");
        const QRectF badge(x, header.center().y() - 8,
                           8 + 10 + 4 + painter.fontMetrics().horizontalAdvance(label) + 8, 16);
        QPainterPath capsule;
        capsule.addRoundedRect(badge, 8, 8);
        painter.fillPath(capsule, Color::neonCyan());
        drawSymbol(painter, QRectF(badge.left() + 8, badge.top(), 10, badge.height()),
                   QStringLiteral("iphone.gen3"), Theme::black(1), 9);
        painter.setPen(Theme::black(1));
        painter.drawText(badge.adjusted(22, 0, -8, 0), Qt::AlignLeft | Qt::AlignVCenter, label);
    }
    for (const auto &button : buttons()) {
        const bool copied = m_copied.isShowing();
        const QString symbol = button.id == Eye ? QStringLiteral("eye")
                               : button.id == Copy
                                   ? (copied ? QStringLiteral("checkmark") : QStringLiteral("doc.on.doc"))
                                   : QStringLiteral("trash");
        const QColor color = button.id == Eye    ? Color::neonCyan()
                             : button.id == Copy ? (copied ? Color::neonGreen() : Theme::white(1))
                                                 : Color::neonRed();
        drawFace(painter, button.rect, symbol, color, Theme::white(0.1), 13);
    }

    const QRectF box = bodyRect();
    switch (body()) {
    case Body::None:
    case Body::File:
        break;
    case Body::Thumbnail: {
        const QSizeF size = QSizeF(m_item.thumbnail.size()).scaled(box.size(), Qt::KeepAspectRatio);
        const QRectF target(box.center().x() - size.width() / 2, box.top(), size.width(), size.height());
        drawImage(painter, target, m_thumbnail.picture(m_item.thumbnail), false, 12);
        break;
    }
    case Body::Protected: {
        drawSymbol(painter, QRectF(box.left(), box.top(), 16, 20), QStringLiteral("lock.fill"),
                   Color::neonRed(), 14);
        painter.setFont(Theme::systemFont(14, QFont::Bold));
        painter.setPen(Color::neonRed());
        painter.drawText(QRectF(box.left() + 22, box.top(), box.width() - 22, 20),
                         Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Protected"));
        painter.setFont(Theme::systemFont(24, QFont::Black));
        painter.setPen(tinted(Color::neonRed(), 0.5));
        painter.drawText(QRectF(box.left(), box.top() + 30, box.width(), 32),
                         Qt::AlignLeft | Qt::AlignVCenter, QString(16, QChar(0x2022)));
        break;
    }
    case Body::Text:
        painter.setFont(Theme::systemFont(13));
        painter.setPen(Theme::white(0.9));
        drawLines(painter, box, ItemRules::displayText(m_item.text, ItemRules::cardText), maxTextLines, 0);
        break;
    }
}

} // namespace qv
