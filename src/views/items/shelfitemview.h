#pragma once

#include <functional>

#include "shelf/shelfitem.h"
#include "ui/animation.h"
#include "views/items/itemwidget.h"
#include "views/items/shownthumbnail.h"

namespace qv {

// The compact tile of one shelf item in the Super Panel's right column: the thumbnail in a 70 pt
// well (letter-boxed, never cropped) and the name cut in the middle. A link whose page metadata is
// still pending is dimmed under a globe. While the pointer is on it, a veil with eye and trash
// buttons fades in; elsewhere clicks belong to the owner. Main thread.
class ShelfItemView : public ItemWidget
{
    Q_OBJECT
public:
    enum ButtonId { Eye, Trash };
    static constexpr double wellHeight = 70;

    ShelfItemView(const ShelfItem &item, std::function<void()> onPreview, std::function<void()> onDelete,
                  AgeClock &ages, QWidget *parent = nullptr);

    const ShelfItem &item() const { return m_item; }
    void setItem(const ShelfItem &item);
    QString displayName() const;
    // The name as drawn in the current width.
    QString shownName() const;
    QRectF wellRect() const;
    // Where the thumbnail is drawn inside the well.
    QRectF thumbnailRect() const;
    double hoverProgress() const { return m_hover; }

    QSize sizeHint() const override;

protected:
    QList<Button> buttons() const override;
    void buttonClicked(int id) override;
    void hoverChanged() override;
    void paintEvent(QPaintEvent *event) override;

private:
    ShelfItem m_item;
    ShownThumbnail m_thumbnail{this};
    std::function<void()> m_onPreview;
    std::function<void()> m_onDelete;
    double m_hover = 0;
    Animation m_hoverAnimation;
};

} // namespace qv
