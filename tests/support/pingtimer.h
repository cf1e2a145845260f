#pragma once

#include <xcb/xcb.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include <poll.h>

// Times `_NET_WM_PING` round trips to one of our windows, the way a window manager asks whether a
// program still answers: Qt answers on its main thread, so a round trip lasts as long as the main
// thread is kept from its events. Runs on a thread and an X connection of its own, one ping at a
// time, 50 ms apart, for as long as it lives.
class PingTimer
{
public:
    explicit PingTimer(xcb_window_t window) : m_window(window)
    {
        m_connection = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(m_connection))
            return;
        m_protocols = intern("WM_PROTOCOLS");
        m_ping = intern("_NET_WM_PING");
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        // The answer goes to the root window; only a client that hears its structure as well as its
        // substructure is sent it while a window manager redirects the substructure.
        const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_connection);
        m_thread = std::thread([this] { run(); });
    }
    ~PingTimer()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        xcb_disconnect(m_connection);
    }

    // The longest round trip so far in seconds, a ping still unanswered counted until now.
    double longest() const
    {
        std::lock_guard lock(m_mutex);
        double longest = m_longest;
        if (m_waiting)
            longest = std::max(longest, seconds(Clock::now() - m_sent));
        return longest;
    }
    int answered() const
    {
        std::lock_guard lock(m_mutex);
        return m_answered;
    }
    void reset()
    {
        std::lock_guard lock(m_mutex);
        m_longest = 0;
        m_answered = 0;
    }

private:
    using Clock = std::chrono::steady_clock;
    static double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

    xcb_atom_t intern(const char *name)
    {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return atom;
    }

    void run()
    {
        uint32_t serial = 0;
        while (!m_stop) {
            ++serial;
            xcb_client_message_event_t ping = {};
            ping.response_type = XCB_CLIENT_MESSAGE;
            ping.format = 32;
            ping.window = m_window;
            ping.type = m_protocols;
            ping.data.data32[0] = m_ping;
            ping.data.data32[1] = serial;
            ping.data.data32[2] = m_window;
            {
                std::lock_guard lock(m_mutex);
                m_sent = Clock::now();
                m_waiting = true;
            }
            xcb_send_event(m_connection, 0, m_window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&ping));
            xcb_flush(m_connection);
            while (!m_stop && !answeredPing(serial)) {
                pollfd fd = {xcb_get_file_descriptor(m_connection), POLLIN, 0};
                ::poll(&fd, 1, 20);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }

    bool answeredPing(uint32_t serial)
    {
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
            auto *message = reinterpret_cast<xcb_client_message_event_t *>(event);
            const bool answer = (event->response_type & 0x7f) == XCB_CLIENT_MESSAGE &&
                                message->type == m_protocols && message->data.data32[0] == m_ping &&
                                message->data.data32[1] == serial;
            std::free(event);
            if (answer) {
                std::lock_guard lock(m_mutex);
                m_longest = std::max(m_longest, seconds(Clock::now() - m_sent));
                m_waiting = false;
                ++m_answered;
                return true;
            }
        }
        return false;
    }

    xcb_window_t m_window;
    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_root = XCB_WINDOW_NONE;
    xcb_atom_t m_protocols = XCB_ATOM_NONE;
    xcb_atom_t m_ping = XCB_ATOM_NONE;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    mutable std::mutex m_mutex;
    Clock::time_point m_sent;
    bool m_waiting = false;
    double m_longest = 0;
    int m_answered = 0;
};
