#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QPoint>

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
// Qt still follows the drag (enter, moves, leave) and tells the widget under it, but every XdndDrop
// that reaches us is ours, whatever Qt made of the positions (it folds queued ones this filter never
// sees): Qt sees the drag leave and never reads a drop. When the last position this filter saw since
// the drag's XdndEnter lies on a widget of ours that accepts drops, the drop's data is read on a
// thread of its own, over an X connection of its own: the types of `DropType`, each within its byte
// bound, every answer of the source within `answerMs` and the whole read within `readMs`; a file
// list is parsed there too (`ReadDropData`). Then, on the main thread, the widget gets an ordinary
// QDropEvent whose data is all there, and the source hears XdndFinished with the widget's answer. A
// source that hands over nothing leaves one console line, no drop and a refusal; a drop anywhere
// else (or with no position since its entry) is refused at once. Positions that come faster than
// Qt answers them are answered here, once a turn of the event loop. Drags of our own windows (Qt
// handles those within the process) never reach this filter.
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
    };
    class Read;

    // Takes the drop `event` ends when it lands on a widget of ours that accepts drops and refuses
    // it otherwise; Qt must then see the drag leave.
    void takeDrop(const xcb_client_message_event_t &event);
    Q_INVOKABLE void deliver();
    // After a turn of the event loop that handed Qt a position: one answer for the positions held
    // back meanwhile.
    void endPositionTurn();
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
    // A position went to Qt in this turn of the event loop; later ones are held back.
    bool m_positionTurn = false;
    bool m_statusOwed = false;
    // Read by the main thread and by the reads' threads as they finish.
    mutable std::mutex m_mutex;
    std::list<std::unique_ptr<Read>> m_reads;
    // Written once to wake every read at teardown.
    int m_wake[2] = {-1, -1};
    std::atomic<bool> m_closing{false};
};

} // namespace qv
