#pragma once

#include <QAbstractButton>
#include <QImage>
#include <QPointer>

#include "ui/animatedvalue.h"

class QLabel;

namespace qv {

// One button of the Super Panel's application filter column: the application's icon (the grid
// symbol when it has none, as for "All Apps") on a rounded tile that turns cyan while it is the
// active filter and grows slightly under the pointer, with the application's name as a small dark
// caption below it while hovered. The caption is shown in full, over the neighbouring items and
// beyond the narrow column. The hover look comes and goes on a spring, the caption fading with it.
// The scheduler must outlive the item. Main thread.
class AppSidebarItem : public QAbstractButton
{
    Q_OBJECT
public:
    static constexpr int tileSize = 44 + 2 * 6;

    AppSidebarItem(const QImage &icon, const QString &name, Scheduler &scheduler, QWidget *parent = nullptr);
    ~AppSidebarItem() override;

    QString name() const { return m_name; }
    QImage icon() const { return m_icon; }
    void setIcon(const QImage &icon);
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);
    bool isHovering() const { return m_hovering; }
    // The caption while hovered; none otherwise (a caption fading out is no longer counted).
    QLabel *caption() const { return m_caption; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void setHovering(bool hovering);
    void followHover();
    QRectF tileRect() const;

    QImage m_icon;
    QString m_name;
    bool m_selected = false;
    bool m_hovering = false;
    QLabel *m_caption = nullptr;
    QPointer<QLabel> m_leavingCaption;
    AnimatedValue m_hover;
};

} // namespace qv
