#include "platform/x11/compoundtext.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <mutex>

namespace qv {

namespace {

// The conversion's own connection; null when none could be opened. Only used under its mutex: Xlib
// is not told to lock for threads.
struct ConversionDisplay
{
    ConversionDisplay() : display(XOpenDisplay(nullptr))
    {
        if (display)
            encoding = XInternAtom(display, "COMPOUND_TEXT", False);
    }
    ~ConversionDisplay()
    {
        if (display)
            XCloseDisplay(display);
    }
    ConversionDisplay(const ConversionDisplay &) = delete;
    ConversionDisplay &operator=(const ConversionDisplay &) = delete;

    std::mutex mutex;
    Display *display;
    Atom encoding = None;
};

} // namespace

QString decodeCompoundText(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return QString();
    static ConversionDisplay conversion;
    if (!conversion.display)
        return QString::fromLatin1(bytes).remove(QChar(0));
    std::lock_guard lock(conversion.mutex);
    QByteArray value = bytes;
    XTextProperty property;
    property.value = reinterpret_cast<unsigned char *>(value.data());
    property.encoding = conversion.encoding;
    property.format = 8;
    property.nitems = static_cast<unsigned long>(value.size());
    char **list = nullptr;
    int count = 0;
    const int status = Xutf8TextPropertyToTextList(conversion.display, &property, &list, &count);
    if (status < Success || !list)
        return QString::fromLatin1(bytes).remove(QChar(0));
    QString text;
    for (int i = 0; i < count; ++i)
        text += QString::fromUtf8(list[i]);
    XFreeStringList(list);
    return text;
}

} // namespace qv
