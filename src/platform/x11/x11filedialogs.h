#pragma once

#include "platform/filedialogs.h"

namespace qv {

// Qt's file dialog, shown without blocking the event loop. Needs a QApplication (widgets).
class X11FileDialogs final : public FileDialogs
{
public:
    void askSaveFile(const SaveRequest &request, std::function<void(const QString &path)> answer) override;
};

} // namespace qv
