#pragma once

#include <QStringList>

#include "platform/filerevealer.h"

namespace qv {

// Records every file the program asked to reveal, in order.
class SimFileRevealer final : public FileRevealer
{
public:
    void revealFile(const QString &path) override { revealed.append(path); }
    void openURL(const QUrl &url) override { opened.append(url); }

    QStringList revealed;
    QList<QUrl> opened;
};

} // namespace qv
