#pragma once

#include <QString>
#include <QTextBoundaryFinder>

#include <limits>

namespace qv {

// Lengths and cuts in extended grapheme clusters (what a person counts as one character), shared by
// the capture, the scan and the mask. Pure; any thread.

// Counts the clusters of the text, stopping once `limit` is reached.
inline int graphemeCount(const QString &text, int limit = std::numeric_limits<int>::max())
{
    if (text.isEmpty())
        return 0;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (count < limit && finder.toNextBoundary() != -1)
        ++count;
    return count;
}

// The first `limit` clusters of the text.
inline QString firstGraphemes(const QString &text, int limit)
{
    // A cluster is at least one UTF-16 unit, so a short text needs no walk.
    if (text.size() <= limit)
        return text;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    qsizetype position = 0;
    while (count < limit) {
        const qsizetype next = finder.toNextBoundary();
        if (next == -1)
            return text;
        position = next;
        ++count;
    }
    // Qt's finder can place a boundary inside a surrogate pair (after a mark that opens the text);
    // the half pair is left out rather than kept alone.
    if (position > 0 && position < text.size() && text.at(position - 1).isHighSurrogate() &&
        text.at(position).isLowSurrogate())
        --position;
    return text.left(position);
}

// The first `limit` clusters, and never more than `unitsPerCluster` UTF-16 units for each of them: a
// cluster has no length of its own (one letter may carry millions of marks), so only the units bound
// what is held. The units are cut first, so the cluster walk never reads past them; a surrogate pair
// at the cut goes whole.
inline QString cappedText(const QString &text, int limit, int unitsPerCluster = 4)
{
    const qsizetype maxUnits = qsizetype(limit) * unitsPerCluster;
    if (text.size() <= maxUnits)
        return firstGraphemes(text, limit);
    qsizetype cut = maxUnits;
    if (cut > 0 && text.at(cut - 1).isHighSurrogate())
        --cut;
    return firstGraphemes(text.left(cut), limit);
}

} // namespace qv
