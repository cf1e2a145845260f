#include "platform/sim/simfiledialogs.h"

namespace qv {

void SimFileDialogs::askSaveFile(const SaveRequest &request, std::function<void(const QString &path)> answer)
{
    saveRequests.append(request);
    const QString path = answers.isEmpty() ? QString() : answers.takeFirst();
    if (!deferAnswers) {
        answer(path);
        return;
    }
    m_pending.append([answer = std::move(answer), path] { answer(path); });
}

void SimFileDialogs::answerPending()
{
    const auto pending = std::exchange(m_pending, {});
    for (const auto &deliver : pending)
        deliver();
}

} // namespace qv
