#pragma once

#include <QString>
#include <QUrl>

namespace qv {

// Shows a file to the user in the desktop's file manager, selected where the file manager can do
// that, else by opening the folder that holds it. Main thread only. Fire and forget: a failure is
// not reported (there is nothing useful the caller could do about it).
class FileRevealer
{
public:
    virtual ~FileRevealer() = default;
    virtual void revealFile(const QString &path) = 0;
    // Opens a file or a web address with the desktop's default application for it.
    virtual void openURL(const QUrl &url) = 0;
};

} // namespace qv
