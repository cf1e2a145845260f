#pragma once

#include <functional>
#include <memory>

#include "clipboard/clipboarditem.h"
#include "views/items/copyfeedback.h"
#include "views/items/itemwidget.h"
#include "views/items/shownthumbnail.h"

namespace qv {

class SafeImagePreview;
class SettingsStore;
class WorkQueue;

// The large card of one clipboard item in the Clipboard Gallery: kind, capture time to the second,
// the device badge for items from another device, and eye, copy and trash while the pointer is on
// it; below, the whole picture of an image item (its thumbnail, else its cached file through a safe
// preview), up to twelve lines of text, or a protected block for sensitive text while
// "maskSensitiveClipboard" is on (followed live). Main thread.
class ExpandedClipboardCard : public ItemWidget
{
    Q_OBJECT
public:
    enum ButtonId { Eye, Copy, Trash };
    static constexpr double copyFeedbackDuration = 1.2;
    static constexpr int previewPixelSize = 400;
    // The radius of the green shadow under a hovered card, in points.
    static constexpr double hoverShadowRadius = 8;

    ExpandedClipboardCard(const ClipboardItem &item, std::function<void()> onCopy,
                          std::function<void()> onDelete, std::function<void()> onPreview,
                          SettingsStore &settings, std::shared_ptr<WorkQueue> decodeQueue, AgeClock &ages,
                          QWidget *parent = nullptr);

    const ClipboardItem &item() const { return m_item; }
    enum class Body { None, Thumbnail, File, Protected, Text };
    Body body() const;
    bool isShowingCopied() const { return m_copied.isShowing(); }
    bool showsBadge() const;
    SafeImagePreview *filePreview() const { return m_filePreview; }

    QSize sizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    QList<Button> buttons() const override;
    void buttonClicked(int id) override;
    void hoverChanged() override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    double bodyHeight(double width) const;
    QRectF bodyRect() const;

    ClipboardItem m_item;
    std::function<void()> m_onCopy;
    std::function<void()> m_onDelete;
    std::function<void()> m_onPreview;
    SettingsStore &m_settings;
    CopyFeedback m_copied;
    ShownThumbnail m_thumbnail{this};
    SafeImagePreview *m_filePreview = nullptr;
};

} // namespace qv
