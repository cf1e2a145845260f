#pragma once

#include <memory>

#include "platform/pasteboard.h"

class QMimeData;

namespace qv {

class X11PictureOffer;

// The X11 CLIPBOARD selection as a pasteboard.
//
// The change count is driven by XFixes: a watcher thread with its own X connection counts every
// change of the CLIPBOARD owner. A change whose new owner is a window of this process's Qt
// connection is one of our own writes; every change also calls the change handler at once. Reads
// convert the selection on a second X connection of their own, on the calling (worker) thread:
// TARGETS first, then each type as it is asked for, with incremental (INCR) transfers for large data
// and a time-out for owners that do not answer. A text/uri-list of local files is presented as one
// item per file; everything else the owner offers forms one more item. Text offered only as STRING,
// TEXT or COMPOUND_TEXT is presented as UTF8_STRING, already decoded; an owner that does not answer
// TARGETS is asked for UTF8_STRING, then STRING. Transfers larger than 50,000,000 bytes, and transfers
// whose owner changes on the way, are abandoned (the type reads as absent); each transfer has a
// property of its own, so an abandoned one never leaks into the next. Once the application is about
// to quit, or the pasteboard is destroyed, a transfer under way ends at once and reads are empty.
//
// Writes go through QClipboard and belong to the GUI thread, which they never block (a picture is
// converted for a program that asks for another type than its own on a thread of its own, see
// X11PictureOffer); they need the xcb Qt platform, and without it they stay inside the process.
// Construct on the GUI thread after the QGuiApplication. Without an X display or the XFixes extension the
// change count never moves and reads are empty.
class X11Pasteboard final : public Pasteboard
{
public:
    X11Pasteboard();
    ~X11Pasteboard() override;

    // True when the change count follows the clipboard (X display and XFixes present).
    bool isWatching() const;

    qint64 changeCount() const override;
    bool isOwnChange(qint64 changeCount) const override;
    PasteboardSnapshot read() override;
    qint64 writeText(const QString &text, WriteOrigin origin) override;
    qint64 writeImageFile(const QString &path, const QString &type, WriteOrigin origin) override;
    qint64 writeFileURL(const QUrl &fileURL) override;
    // Called on the watcher thread for every owner change.
    void setChangeHandler(std::function<void()> handler) override;
    // While XFixes tells of each new owner of CLIPBOARD.
    bool reportsChanges() const override;

    // How long one step of a transfer may take before the owner counts as gone.
    static constexpr int transferTimeoutMs = 1000;

private:
    class Watcher;
    class Reader;
    qint64 write(QMimeData *data, WriteOrigin origin);

    std::unique_ptr<Watcher> m_watcher;
    std::shared_ptr<Reader> m_reader;
    std::unique_ptr<X11PictureOffer> m_pictures;
};

} // namespace qv
