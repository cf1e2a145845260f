#pragma once

#include <QWidget>

#include <memory>

#include "views/items/shownthumbnail.h"
#include "views/superpanel/columnrules.h"

class QPlainTextEdit;

namespace qv {

class SafeImagePreview;
class Scheduler;
class SettingsStore;
class SuperPanelColumnState;
class WorkQueue;

// The bubble over the clipboard column that shows the item whose eye the pointer rests on:
// its picture (the thumbnail, else the cached file decoded off the main thread), the start of its text
// (`ItemRules::previewText`) selectable in a small scrolling area, or, for sensitive text while
// "maskSensitiveClipboard" is on, a protected notice in place of the text. It is placed from the eye's frame,
// 25 below the eye's middle and centred across the column, and shows exactly while the state holds an item.
// The pointer entering and leaving it is reported to the state, which keeps it open or closes it.
// Must be a child of the column; `state`, `settings` and `scheduler` must outlive it. Main thread.
class ClipboardPreviewBubble : public QWidget
{
    Q_OBJECT
public:
    ClipboardPreviewBubble(SuperPanelColumnState &state, SettingsStore &settings,
                           std::shared_ptr<WorkQueue> decodeQueue, Scheduler &scheduler, QWidget *parent);

    ColumnRules::BubbleContent content() const { return m_content; }
    // The count shown in the header ("10 chars"); empty for an image.
    QString countText() const { return m_count; }
    QPlainTextEdit *textView() const { return m_text; }
    SafeImagePreview *filePreview() const { return m_file; }
    // The card inside the bubble's frame: as wide, as high as what it holds, centred.
    QRectF cardRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void follow();
    void place();
    QRectF contentRect() const;

    SuperPanelColumnState &m_state;
    SettingsStore &m_settings;
    std::shared_ptr<WorkQueue> m_decodeQueue;
    Scheduler &m_scheduler;
    ColumnRules::BubbleContent m_content = ColumnRules::BubbleContent::Nothing;
    QString m_count;
    ShownThumbnail m_thumbnail{this};
    QPlainTextEdit *m_text = nullptr;
    SafeImagePreview *m_file = nullptr;
};

} // namespace qv
