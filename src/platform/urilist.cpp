#include "platform/urilist.h"

#include <QDir>
#include <QLoggingCategory>
#include <QSet>
#include <QString>

namespace qv {

Q_LOGGING_CATEGORY(lcUriList, "quorvantis.urilist")

QString UriList::fileKey(const QUrl &fileURL)
{
    // One byte a character (a name need not be UTF-8), so that cleaning compares what the file
    // system would.
    return QDir::cleanPath(
        QString::fromLatin1(QByteArray::fromPercentEncoding(fileURL.path(QUrl::FullyEncoded).toLatin1())));
}

UriList UriList::parse(const QByteArray &data, const Limits &limits)
{
    UriList list;
    qsizetype end = data.size();
    if (end > limits.bytes) {
        list.cut = true;
        // The line the bound runs through is incomplete: a shorter path may name another file.
        end = limits.bytes > 0 ? data.lastIndexOf('\n', limits.bytes - 1) + 1 : 0;
    }
    // Raw lines seen, so a repeated line costs a hash lookup instead of another address parse.
    QSet<QByteArray> seenLines;
    QSet<QString> seenPaths;
    QSet<QUrl> seenOthers;
    int lines = 0;
    int withNul = 0;
    QUrl firstWithNul;
    for (qsizetype start = 0; start < end;) {
        if (lines == limits.lines) {
            list.cut = true;
            break;
        }
        ++lines;
        qsizetype stop = data.indexOf('\n', start);
        if (stop < 0 || stop > end)
            stop = end;
        const QByteArray line = data.mid(start, stop - start).trimmed();
        start = stop + 1;
        if (line.isEmpty() || line.startsWith('#') || seenLines.contains(line))
            continue;
        seenLines.insert(line);
        // Parsing an address is what costs here (some lists are parsed on the main thread): lines
        // that could not be taken whatever they parse to are passed over unparsed. An address
        // has a scheme, and once the other addresses are all taken only a file can be.
        if (!line.contains(':'))
            continue;
        if (list.others.size() == limits.entries && !line.left(5).toLower().startsWith("file:")) {
            list.cut = true;
            continue;
        }
        const QUrl url(QString::fromUtf8(line));
        if (!url.isValid() || url.scheme().isEmpty())
            continue;
        if (url.isLocalFile()) {
            const QString path = fileKey(url);
            if (path.isEmpty() || seenPaths.contains(path))
                continue;
            // A file name ends at a NUL byte: "a.txt%00.png" would read a.txt under another name.
            if (path.contains(QChar(0))) {
                if (withNul++ == 0)
                    firstWithNul = url;
                continue;
            }
            if (list.files.size() == limits.entries) {
                // Files are what a reader takes first: past the bound the rest is not read.
                list.cut = true;
                break;
            }
            seenPaths.insert(path);
            list.files.append(url);
        } else if (!seenOthers.contains(url)) {
            if (list.others.size() == limits.entries) {
                list.cut = true;
                continue;
            }
            seenOthers.insert(url);
            list.others.append(url);
        }
    }
    if (withNul > 0)
        qCWarning(lcUriList).noquote()
            << "⚠️ Refused" << withNul
            << "dropped or copied file address(es) whose path holds a NUL byte, first:"
            << firstWithNul.toString(QUrl::FullyEncoded).left(300);
    return list;
}

} // namespace qv
