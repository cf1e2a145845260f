#include "platform/x11/x11filedialogs.h"

#include <QDir>
#include <QFileDialog>

namespace qv {

void X11FileDialogs::askSaveFile(const SaveRequest &request, std::function<void(const QString &path)> answer)
{
    auto *dialog = new QFileDialog(nullptr, QString(), QDir::homePath());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    if (!request.suffix.isEmpty()) {
        dialog->setNameFilter(request.kindName + QStringLiteral(" (*.") + request.suffix + QLatin1Char(')'));
        dialog->setDefaultSuffix(request.suffix);
    }
    dialog->selectFile(request.suggestedName);
    QObject::connect(
        dialog, &QFileDialog::finished, dialog, [dialog, answer = std::move(answer)](int result) {
            const QStringList chosen = dialog->selectedFiles();
            answer(result == QDialog::Accepted && !chosen.isEmpty() ? chosen.first() : QString());
        });
    // show(), not exec(): the program keeps running while the user decides.
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

} // namespace qv
