#pragma once

#include <QAbstractNativeEventFilter>
#include <QPointer>
#include <QString>

#include <xcb/xcb.h>

#include <list>
#include <memory>
#include <mutex>
#include <thread>

class QMimeData;

namespace qv {

// A picture file offered on the CLIPBOARD through Qt's clipboard, so that the clipboard is ours the
// moment it is written, with nothing read or decoded then.
//
// offer() makes the mime data QClipboard takes: the file's own bytes under its own type, read
// (within `maxBytes`) when a program first asks, and "image/png". When the file is not a PNG, a
// request for PNG never reaches Qt, which would answer it on the main thread: this filter takes it,
// and a thread of its own, over an X connection of its own, decodes the file (within the decoding
// bounds), encodes PNG once for that offer (at most `maxBytes`), and hands it to the requestor, in
// pieces (INCR) when large, each step within `stepTimeoutMs`. At most `maxServesAtOnce` requests are
// served at a time; another one, a picture that does not decode and one past its bounds hear a
// refusal. Install on the GUI thread after the QGuiApplication; without an X11 Qt the offer holds
// the file's own bytes only.
class X11PictureOffer final : public QAbstractNativeEventFilter
{
public:
    X11PictureOffer();
    // Serves under way end at once.
    ~X11PictureOffer() override;

    // The mime data for QClipboard::setMimeData (which takes it); it is the one this filter serves
    // while Qt keeps it.
    QMimeData *offer(const QString &path, const QString &type);

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

    static constexpr qint64 maxBytes = 50000000;
    static constexpr int maxServesAtOnce = 2;
    static constexpr int stepTimeoutMs = 2000;

private:
    class Picture;
    struct Serve;
    void serve(const xcb_selection_request_event_t &request);
    void refuse(const xcb_selection_request_event_t &request);
    void reapServes();

    xcb_connection_t *m_connection = nullptr;
    xcb_atom_t m_clipboard = XCB_ATOM_NONE;
    xcb_atom_t m_png = XCB_ATOM_NONE;
    QPointer<QMimeData> m_current;
    std::mutex m_mutex;
    std::list<std::unique_ptr<Serve>> m_serves;
    int m_wake[2] = {-1, -1};
};

} // namespace qv
