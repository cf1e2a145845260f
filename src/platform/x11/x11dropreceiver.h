#pragma once

#include <QAbstractNativeEventFilter>
#include <QMimeData>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QWidget>

#include <xcb/xcb.h>

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <optional>

namespace qv {

// Takes drops from other programs in place of Qt's own XDND target, which reads the dropped data on
// the main thread and waits up to 5 s for a source that never hands it over (or trickles it).
//
// Qt sees nothing of a drag from another program onto a window of ours: its own target folds queued
// positions at a cost that grows with the square of their number (seconds for a flood) and reads a
// drop's data on the main thread. This filter follows the drag instead, once a turn of the event
// loop for the latest position: the widget under it that accepts drops hears it enter, move and
// leave (with no data yet), and the source hears XdndStatus. Every XdndDrop is taken or refused
// here. When the drag's latest position since its XdndEnter lies on a widget that accepts drops,
// the drop's data is read on a thread of its own, over an X connection of its own: the types of
// `DropType`, each within its byte bound, every answer of the source within `answerMs` and the whole
// read within `readMs`; a file list is parsed there too (`ReadDropData`). Then, on the main thread,
// the widget gets an ordinary QDropEvent whose data is all there, and the source hears XdndFinished
// with the widget's answer. A source that hands over nothing leaves one console line, no drop and a
// refusal; a drop anywhere else (or with no position since its entry) is refused at once. Drags of
// our own windows (Qt handles those within the process) never reach this filter.
//
// Install one on the main thread after the QGuiApplication; without an X11 Qt it does nothing.
class X11DropReceiver final : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT
public:
    explicit X11DropReceiver(QObject *parent = nullptr);
    // Reads under way give up at once; their sources hear nothing more.
    ~X11DropReceiver() override;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

    // Drops whose data is still being read.
    int pendingReads() const;

    static constexpr int maxReadsAtOnce = 4;
    static constexpr int answerMs = 2000;
    static constexpr int readMs = 10000;
    // The most types a source's list is read for.
    static constexpr uint32_t maxOfferedTypes = 4096;

private:
    struct Drag
    {
        xcb_window_t source = XCB_WINDOW_NONE;
        xcb_window_t window = XCB_WINDOW_NONE;
        bool typeListOnSource = false;
        uint32_t enterTypes[3] = {};
        // Root coordinates of the last position the source reported.
        std::optional<QPoint> root;
        // The widget under the drag that takes drops, and whether it said it takes this one.
        QPointer<QWidget> target;
        bool accepted = false;
    };
    class Read;

    // Takes the drop `event` ends when it lands on a widget of ours that accepts drops and refuses
    // it otherwise; Qt must then see the drag leave.
    void takeDrop(const xcb_client_message_event_t &event);
    Q_INVOKABLE void deliver();
    // Tells the widgets under the latest position of the drag (enter, move, leave) and answers the
    // source with XdndStatus.
    void followPosition();
    // The widget the drag was over hears it leave.
    void leaveTarget();
    void sendFinished(xcb_window_t source, xcb_window_t target, bool taken);

    xcb_connection_t *m_connection = nullptr;
    xcb_atom_t m_enter = XCB_ATOM_NONE;
    xcb_atom_t m_position = XCB_ATOM_NONE;
    xcb_atom_t m_leave = XCB_ATOM_NONE;
    xcb_atom_t m_drop = XCB_ATOM_NONE;
    xcb_atom_t m_finished = XCB_ATOM_NONE;
    xcb_atom_t m_copy = XCB_ATOM_NONE;
    xcb_atom_t m_status = XCB_ATOM_NONE;
    std::optional<Drag> m_drag;
    // A position came that followPosition() has not followed yet.
    bool m_positionOwed = false;
    // What the widgets are shown of a drag before its drop: nothing is read until it lands.
    QMimeData m_dragData;
    // Read by the main thread and by the reads' threads as they finish.
    mutable std::mutex m_mutex;
    std::list<std::unique_ptr<Read>> m_reads;
    // Written once to wake every read at teardown.
    int m_wake[2] = {-1, -1};
    std::atomic<bool> m_closing{false};
};

} // namespace qv
