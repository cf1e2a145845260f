#pragma once

#include <QList>
#include <QStringList>

#include "platform/filedialogs.h"

namespace qv {

// File dialogs with scripted answers. Each question takes the next answer of `answers` (an empty
// queue answers "cancelled") and is recorded in `saveRequests`. Answers are given synchronously,
// inside askSaveFile, unless `deferAnswers` is set: then they wait in a queue until answerPending().
class SimFileDialogs final : public FileDialogs
{
public:
    void askSaveFile(const SaveRequest &request, std::function<void(const QString &path)> answer) override;

    // Delivers every deferred answer, in the order the questions were asked.
    void answerPending();

    QStringList answers;
    bool deferAnswers = false;
    QList<SaveRequest> saveRequests;

private:
    QList<std::function<void()>> m_pending;
};

} // namespace qv
