#pragma once

#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QUuid>

#include <functional>

#include "clipboard/clipboarditem.h"
#include "views/items/copyfeedback.h"
#include "views/items/itemwidget.h"
#include "views/items/shownthumbnail.h"

class QAbstractScrollArea;

namespace qv {

class Scheduler;
class SettingsStore;

// The id of the clipboard item whose hover bubble is open: one value that every row of a list
// reads and writes. Owned by the list's owner. Main thread.
class ActiveItemID : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    QUuid value() const { return m_value; }
    void setValue(const QUuid &value);

signals:
    void changed();

private:
    QUuid m_value;
};

// The compact row of one clipboard item in the Super Panel's right column: an icon tile, the title
// (masked live while "maskSensitiveClipboard" is on), the time and, for items from another device,
// the device badge; copy, eye and trash appear while the pointer is on the row or its bubble is
// open. Resting on the eye opens the bubble through the owner; the eye is not a button. Main thread.
class ClipboardItemView : public ItemWidget
{
    Q_OBJECT
public:
    enum ButtonId { Copy, Eye, Trash };
    static constexpr double copyFeedbackDuration = 1.2;

    struct Actions
    {
        std::function<void()> onCopy;
        std::function<void()> onDelete;
        // The eye's frame in the hosting window, origin top-left.
        std::function<void(const QRectF &)> onShowPreview;
        std::function<void()> onEyeLeave;
    };

    ClipboardItemView(const ClipboardItem &item, ActiveItemID &activeItemID, SettingsStore &settings,
                      Actions actions, AgeClock &ages, QWidget *parent = nullptr);

    const ClipboardItem &item() const { return m_item; }
    bool isActive() const;
    bool isShowingCopied() const { return m_copied.isShowing(); }
    bool isMasked() const;
    // What the title line shows ("••••••••" while masked).
    QString titleText() const;
    QRectF eyeGlobalFrame() const { return m_eyeGlobalFrame; }
    // Measures the eye again (the list scrolled or moved); the owner is not called.
    void updateEyeFrame();

    QSize sizeHint() const override;

protected:
    QList<Button> buttons() const override;
    void buttonClicked(int id) override;
    void hoverChanged() override;
    void buttonHoverChanged(int previous) override;
    void paintEvent(QPaintEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    bool stripVisible() const;
    void followEnclosingScroll();
    QRectF buttonBox(int index) const;

    ClipboardItem m_item;
    ActiveItemID &m_activeItemID;
    SettingsStore &m_settings;
    Actions m_actions;
    Scheduler &m_scheduler;
    CopyFeedback m_copied;
    ShownThumbnail m_thumbnail{this};
    QRectF m_eyeGlobalFrame;
    QList<QPointer<QAbstractScrollArea>> m_followedScrolls;
};

} // namespace qv
