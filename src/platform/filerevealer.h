#pragma once

#include <QString>
#include <QUrl>

#include <functional>

namespace qv {

// Shows a file to the user in the desktop's file manager, selected where the file manager can do
// that, else by opening the folder that holds it. Main thread only.
class FileRevealer
{
public:
    // Whether a file manager (or the desktop's handler for the folder) took the file.
    using Done = std::function<void(bool shown)>;

    virtual ~FileRevealer() = default;
    // `done`, when given, runs exactly once on the main thread, maybe before the call returns (a
    // file manager that must be started first answers later), so the caller can tell the user when
    // nothing could show the file.
    virtual void revealFile(const QString &path, Done done) = 0;
    // Opens a file or a web address with the desktop's default application for it.
    virtual void openURL(const QUrl &url) = 0;
};

} // namespace qv
