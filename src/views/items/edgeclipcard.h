#pragma once

#include <functional>

#include "clipboard/clipboarditem.h"
#include "views/items/copyfeedback.h"
#include "views/items/edgeitemview.h"
#include "views/items/shownthumbnail.h"

namespace qv {

// One clipboard item in the edge popup, as a 240×180 card of the horizontal strip or as a row of
// the vertical list: its thumbnail or its text as stored (a sensitive item shows the mask it was
// captured with), the kind and the live age, on the card a badge for items from another device,
// and copy, eye and trash while the pointer is on it. Every effect goes through the three actions,
// each handed the whole item. Main thread.
class EdgeClipCard : public EdgeItemView
{
    Q_OBJECT
public:
    enum ButtonId { Copy, Eye, Trash };
    static constexpr double copyFeedbackDuration = 1.0;
    using Action = std::function<void(const ClipboardItem &)>;

    EdgeClipCard(const ClipboardItem &item, Action onCopy, Action onPreview, Action onDelete, AgeClock &ages,
                 QWidget *parent = nullptr);

    const ClipboardItem &item() const { return m_item; }
    bool isShowingCopied() const { return m_copied.isShowing(); }
    bool showsBadge() const;
    bool showsThumbnail() const { return m_item.isImage && !m_item.thumbnail.isNull(); }
    // The height of `item`'s row at `width`, without building it.
    static int rowHeightOf(const ClipboardItem &item, int width);

protected:
    EdgeClipCard(Shape shape, const ClipboardItem &item, Action onCopy, Action onPreview, Action onDelete,
                 AgeClock &ages, QWidget *parent);

    double rowPreviewHeight(double width) const override;
    void paintPreview(QPainter &painter, const QRectF &box) override;
    QList<std::pair<QString, QColor>> footerSymbols() const override;
    QDateTime date() const override { return m_item.date; }
    void paintFooterEnd(QPainter &painter, const QRectF &box) override;
    QList<Face> faces() const override;
    void buttonClicked(int id) override;
    bool event(QEvent *event) override;

private:
    static double rowPreviewHeightOf(const ClipboardItem &item, double width);

    ClipboardItem m_item;
    Action m_onCopy;
    Action m_onPreview;
    Action m_onDelete;
    CopyFeedback m_copied;
    ShownThumbnail m_thumbnail{this};
    QRectF m_badgeRect;
};

// The same item view as an entry of the vertical list: the list's width, a height that follows the
// content, a taller image and five lines of text, and no device badge.
class EdgeClipRow : public EdgeClipCard
{
    Q_OBJECT
public:
    EdgeClipRow(const ClipboardItem &item, Action onCopy, Action onPreview, Action onDelete, AgeClock &ages,
                QWidget *parent = nullptr);
};

} // namespace qv
