#pragma once

#include "platform/filerevealer.h"

namespace qv {

// Asks the session's file manager to show the file selected (the freedesktop FileManager1
// ShowItems call on the session bus); when there is no session bus, no such service or the call
// fails, opens the folder that holds the file with the desktop's default handler instead.
class X11FileRevealer final : public FileRevealer
{
public:
    void revealFile(const QString &path, Done done) override;
    void openURL(const QUrl &url) override;

    // The fallback alone; public so it can be exercised without a file manager on the bus.
    static bool openContainingFolder(const QString &path);
};

} // namespace qv
