#pragma once

#include <QApplication>

#include <memory>

#include "clipboard/clipboardhistorymodel.h"
#include "clipboard/clipboardmanager.h"
#include "shelf/shelflistmodel.h"
#include "views/items/clipboarditemview.h"
#include "views/itemviewsfixture.h"
#include "views/superpanel/clipboardshelfcolumn.h"
#include "views/superpanel/columnstate.h"
#include "views/superpanel/superpanelstate.h"
#include "windows/windowlistmodel.h"

namespace qv {

// The Super Panel's clipboard and shelf column over real managers on the simulated desktop, with
// what it asks to open recorded.
class SuperPanelColumnTest : public ItemViewsTest
{
protected:
    SuperPanelColumnTest()
    {
        m_clipboard =
            std::make_unique<ClipboardManager>(m_sim.pasteboard, m_sim.workspace, m_scheduler, m_queues,
                                               m_settings, m_events, path(QStringLiteral("clips")));
        m_clipModel = std::make_unique<ClipboardHistoryModel>(*m_clipboard);
        m_shelfModel = std::make_unique<ShelfListModel>(*m_shelf);
        m_panel = std::make_unique<SuperPanelState>(
            m_windows, m_scheduler, SuperPanelActions(),
            SuperPanelState::Presented{[this] { return m_presented; },
                                       [this](bool shown) {
                                           m_presented = shown;
                                           m_panel->presentationChanged(shown);
                                       }});
        m_state = std::make_unique<SuperPanelColumnState>(
            *m_panel, m_scheduler,
            [this](const QUrl &url, bool reveal, const std::function<void(bool)> &done) {
                m_opened.append((reveal ? QStringLiteral("reveal:") : QStringLiteral("open:")) +
                                url.fileName());
                if (done)
                    done(true);
            });
        m_presented = true;
        m_panel->presentationChanged(true);
        m_column = std::make_unique<ClipboardShelfColumn>(*m_state, services());
        m_column->resize(320, 880);
        m_column->show();
        QApplication::processEvents();
    }

    ClipboardShelfColumn::Services services()
    {
        return {*m_clipModel, *m_shelfModel,   *m_clipboard,  *m_shelf, m_sim.pasteboard,
                m_settings,   m_sim.fileIcons, decodeQueue(), m_ages,   m_scheduler};
    }

    // The pointer passing over the top row's copy button and resting on its eye, which opens the
    // bubble; the row is returned.
    ClipboardItemView *restOnTopEye()
    {
        QApplication::processEvents();
        auto *row = static_cast<ClipboardItemView *>(m_column->clipboardList()->builtCells().first());
        row->pointerMoved(row->buttonRect(ClipboardItemView::Copy).center());
        row->pointerMoved(row->buttonRect(ClipboardItemView::Eye).center());
        m_scheduler.advance(0.01);
        QApplication::processEvents();
        return row;
    }

    ClipboardItem addClip(const QString &text, bool sensitive = false)
    {
        ClipboardItem item = newClip();
        item.isSensitive = sensitive;
        item.text = sensitive ? QString(8, QChar(0x2022)) : text;
        if (sensitive)
            item.rawText = text;
        return add(item);
    }

    ClipboardItem addImageClip(const QColor &color)
    {
        ClipboardItem item = newClip();
        item.isImage = true;
        item.imageSize = QSize(1920, 1080);
        item.text = QStringLiteral("Image • 1920×1080");
        QImage picture(320, 180, QImage::Format_RGB32);
        picture.fill(color);
        item.thumbnail = ItemThumbnail(picture);
        return add(item);
    }

    // Dated by the test clock, so the times the cards show are the same on every run.
    ClipboardItem newClip() const
    {
        ClipboardItem item;
        item.id = QUuid::createUuid();
        item.date = QDateTime::fromMSecsSinceEpoch(qint64(m_scheduler.wallNow() * 1000));
        item.deviceSource = ClipboardManager::thisMac;
        return item;
    }

    ClipboardItem add(const ClipboardItem &item)
    {
        m_clipboard->enqueuePending(item);
        m_clipboard->flushPending();
        return item;
    }

    ShelfItem addShelfFile(const QString &name, const QByteArray &content = "notes")
    {
        const QUuid id = m_shelf->addItem(writeFile(name, content));
        m_scheduler.advance(0.1);
        QApplication::processEvents();
        for (const ShelfItem &item : m_shelf->items()) {
            if (item.id == id)
                return item;
        }
        return {};
    }

    WindowListModel m_windows;
    bool m_presented = false;
    QStringList m_opened;
    std::unique_ptr<ClipboardManager> m_clipboard;
    std::unique_ptr<ClipboardHistoryModel> m_clipModel;
    std::unique_ptr<ShelfListModel> m_shelfModel;
    std::unique_ptr<SuperPanelState> m_panel;
    std::unique_ptr<SuperPanelColumnState> m_state;
    std::unique_ptr<ClipboardShelfColumn> m_column;
};

} // namespace qv
