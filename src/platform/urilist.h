#pragma once

#include <QByteArray>
#include <QList>
#include <QUrl>

namespace qv {

// A "text/uri-list" as drags and the clipboard hand it over: one address a line, lines starting with
// "#" are comments, CR LF or LF line ends. Another program decides how long it is, so only a bounded
// prefix is ever read: at most `bytes` bytes (a line cut by that bound is left out whole, never taken
// as a shorter path), at most `lines` lines, and at most `entries` distinct local files and as many
// other addresses. The same file listed twice (by any spelling of its path) is taken once. Pure; any
// thread.
struct UriList
{
    struct Limits
    {
        qsizetype bytes = 0;
        int lines = 0;
        int entries = 0;
    };
    // The drop and clipboard readers' bounds: a prefix that is cheap to read on any thread.
    static constexpr qsizetype defaultMaxBytes = 4 * 1024 * 1024;
    static constexpr int defaultMaxLines = 20000;

    // Distinct local files in list order, as listed (the first spelling of each).
    QList<QUrl> files;
    // Distinct addresses of every other scheme, in list order.
    QList<QUrl> others;
    // The list held more than was taken: bytes or lines past the bounds, or distinct entries past
    // `entries`. Duplicates and comments alone never set it.
    bool cut = false;

    static UriList parse(const QByteArray &data, const Limits &limits);
    // What tells two spellings of one local file apart or not: its path's bytes, cleaned.
    static QString fileKey(const QUrl &fileURL);
};

} // namespace qv
