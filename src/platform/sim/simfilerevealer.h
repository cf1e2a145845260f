#pragma once

#include <QStringList>

#include "platform/filerevealer.h"

namespace qv {

// Records every file the program asked to reveal, in order, and answers at once with `canReveal`.
class SimFileRevealer final : public FileRevealer
{
public:
    void revealFile(const QString &path, Done done) override
    {
        revealed.append(path);
        if (done)
            done(canReveal);
    }
    void openURL(const QUrl &url) override { opened.append(url); }

    // Driver: whether the simulated desktop has a file manager.
    bool canReveal = true;
    QStringList revealed;
    QList<QUrl> opened;
};

} // namespace qv
