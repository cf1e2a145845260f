#include "windows/windowordering.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace qv {

namespace {

// Applications activated closer together than this count as used at the same time.
constexpr double usageTolerance = 0.1;

struct WindowOrder
{
    bool minimizedLast;
    const AppUsageHistory &history;

    // True when a must come before b.
    bool operator()(const AppWindowModel &a, const AppWindowModel &b) const
    {
        if (minimizedLast && a.isMinimized != b.isMinimized)
            return !a.isMinimized;
        const double ta = history.value(a.bundleIdentifier, 0.0);
        const double tb = history.value(b.bundleIdentifier, 0.0);
        if (std::abs(ta - tb) > usageTolerance)
            return ta > tb;
        return a.sortIndex < b.sortIndex;
    }
};

// Run length for lists of 64 and more: between 32 and 64, so that the number of runs is a power of
// two or just below one.
qsizetype minimumRunLength(qsizetype count)
{
    qsizetype extra = 0;
    while (count >= 64) {
        extra |= count & 1;
        count >>= 1;
    }
    return count + extra;
}

// Stable: an element only moves left past elements it strictly precedes. Terminates for any
// comparison, transitive or not.
void insertionSort(std::vector<AppWindowModel> &items, qsizetype begin, qsizetype end,
                   const WindowOrder &less)
{
    for (qsizetype i = begin + 1; i < end; ++i) {
        for (qsizetype j = i; j > begin && less(items[j], items[j - 1]); --j)
            std::swap(items[j], items[j - 1]);
    }
}

// Stable: the right run's head is taken only when it strictly precedes the left run's head.
void mergeRuns(std::vector<AppWindowModel> &items, std::vector<AppWindowModel> &scratch, qsizetype begin,
               qsizetype middle, qsizetype end, const WindowOrder &less)
{
    scratch.clear();
    qsizetype left = begin;
    qsizetype right = middle;
    while (left < middle && right < end) {
        if (less(items[right], items[left]))
            scratch.push_back(std::move(items[right++]));
        else
            scratch.push_back(std::move(items[left++]));
    }
    while (left < middle)
        scratch.push_back(std::move(items[left++]));
    while (right < end)
        scratch.push_back(std::move(items[right++]));
    std::move(scratch.begin(), scratch.end(), items.begin() + begin);
}

void stableSort(QList<AppWindowModel> &windows, const WindowOrder &less)
{
    const qsizetype count = windows.size();
    if (count < 2)
        return;
    std::vector<AppWindowModel> items(std::make_move_iterator(windows.begin()),
                                      std::make_move_iterator(windows.end()));
    const qsizetype run = count < 64 ? count : minimumRunLength(count);
    for (qsizetype begin = 0; begin < count; begin += run)
        insertionSort(items, begin, std::min(begin + run, count), less);
    std::vector<AppWindowModel> scratch;
    scratch.reserve(items.size());
    for (qsizetype width = run; width < count; width *= 2) {
        for (qsizetype begin = 0; begin + width < count; begin += 2 * width)
            mergeRuns(items, scratch, begin, begin + width, std::min(begin + 2 * width, count), less);
    }
    windows =
        QList<AppWindowModel>(std::make_move_iterator(items.begin()), std::make_move_iterator(items.end()));
}

QString trimSpacesAndTabs(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    while (begin < end && blank(text[begin]))
        ++begin;
    while (end > begin && blank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

} // namespace

void trimUsageHistory(AppUsageHistory &history, int limit)
{
    if (history.size() <= limit)
        return;
    std::vector<std::pair<double, QString>> byAge;
    byAge.reserve(size_t(history.size()));
    for (auto it = history.constBegin(); it != history.constEnd(); ++it)
        byAge.emplace_back(it.value(), it.key());
    const auto excess = byAge.size() - size_t(std::max(limit, 0));
    // Oldest first; of equal times the greater identifier goes first.
    std::nth_element(byAge.begin(), byAge.begin() + std::ptrdiff_t(excess - 1), byAge.end(),
                     [](const auto &a, const auto &b) {
                         return a.first != b.first ? a.first < b.first : a.second > b.second;
                     });
    for (size_t i = 0; i < excess; ++i)
        history.remove(byAge[i].second);
}

void sortWindows(QList<AppWindowModel> &windows, bool minimizedLast, const AppUsageHistory &history)
{
    stableSort(windows, WindowOrder{minimizedLast, history});
}

void sortAllWindows(QList<AppWindowModel> &windows, const AppUsageHistory &history)
{
    stableSort(windows, WindowOrder{false, history});
}

QStringList decodeIgnoreList(const QString &setting)
{
    QStringList entries;
    for (const QString &piece : setting.split(u',', Qt::SkipEmptyParts))
        entries.append(trimSpacesAndTabs(piece));
    return entries;
}

bool isIgnoredBundle(const QString &setting, const QString &bundleIdentifier)
{
    // A piece of blanks trims to nothing; it must not hide every application without an identifier.
    if (bundleIdentifier.isEmpty())
        return false;
    return decodeIgnoreList(setting).contains(bundleIdentifier);
}

bool isIgnoredAppName(const QString &setting, const QString &appName)
{
    if (appName.isEmpty())
        return false;
    return decodeIgnoreList(setting).contains(appName, Qt::CaseInsensitive);
}

} // namespace qv
