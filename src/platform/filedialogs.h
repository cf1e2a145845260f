#pragma once

#include <QString>

#include <functional>

namespace qv {

// Questions the program asks the user through the desktop's file dialogs. Main thread only; the
// answer arrives on the main thread, possibly after the call has returned (the dialog does not
// block the event loop).
class FileDialogs
{
public:
    struct SaveRequest
    {
        // File name offered in the dialog, e.g. "Quorvantis_Diagnostics_20240101_120000.zip".
        QString suggestedName;
        // The only kind of file that may be chosen, as a suffix without the dot ("zip"); the dialog
        // appends it when the user leaves it out.
        QString suffix;
        // Human-readable name of that kind ("ZIP archive").
        QString kindName;
    };

    virtual ~FileDialogs() = default;

    // Asks where to save a new file. `answer` is called exactly once with the chosen absolute path,
    // or with an empty string when the user cancelled or no path could be had. The user may create
    // folders from the dialog.
    virtual void askSaveFile(const SaveRequest &request, std::function<void(const QString &path)> answer) = 0;
};

} // namespace qv
