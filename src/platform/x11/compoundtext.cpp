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

// Tab and newline are the only controls the encoding carries as text.
QString withoutControls(QString text)
{
    text.removeIf([](QChar c) {
        const char16_t u = c.unicode();
        return (u < 0x20 && u != u'\t' && u != u'\n') || (u >= 0x7F && u < 0xA0);
    });
    return text;
}

} // namespace

QString decodeCompoundText(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return QString();
    static ConversionDisplay conversion;
    if (!conversion.display)
        return withoutControls(QString::fromLatin1(bytes));
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
        return withoutControls(QString::fromLatin1(bytes));
    QString text;
    for (int i = 0; i < count; ++i)
        text += QString::fromUtf8(list[i]);
    XFreeStringList(list);
    return withoutControls(text);
}

} // namespace qv
