#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include "windows/appwindowmodel.h"

namespace qv {

// Bundle identifier to the wall-clock time (seconds since 1970) the application was last activated.
using AppUsageHistory = QHash<QString, double>;

// The history keeps the applications used most recently: at most this many, each named in at most
// maxUsageIdentifierLength characters, so that it stays a small part of the settings file.
constexpr int maxUsageHistoryEntries = 1000;
constexpr int maxUsageIdentifierLength = 512;
// Drops the entries used longest ago (equal times: the greater identifier first) until at most
// `limit` remain.
void trimUsageHistory(AppUsageHistory &history, int limit = maxUsageHistoryEntries);

// Orders a per-application list: with `minimizedLast`, visible windows before minimised ones; then
// applications used more recently (by more than 0.1 s) first; then the window list's own order.
// Usage times closer than 0.1 s count as equal, so the comparison is not transitive: the lists are
// sorted by a stable run-and-merge sort of our own that stays well defined for such comparisons.
void sortWindows(QList<AppWindowModel> &windows, bool minimizedLast, const AppUsageHistory &history);
// The all-windows order: the same without the minimised rule.
void sortAllWindows(QList<AppWindowModel> &windows, const AppUsageHistory &history);

// The "ignoredApps" setting: entries joined by ",". Decoding drops empty pieces and trims spaces and
// tabs from each entry.
QStringList decodeIgnoreList(const QString &setting);
// An identifier listed exactly (case-sensitive). An empty identifier is never ignored.
bool isIgnoredBundle(const QString &setting, const QString &bundleIdentifier);
// A name listed in any letter case. An empty name is never ignored.
bool isIgnoredAppName(const QString &setting, const QString &appName);

} // namespace qv
