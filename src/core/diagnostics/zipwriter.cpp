#include "core/diagnostics/zipwriter.h"

#include "platform/loadablemodule.h"

namespace qv {

QString ZipWriter::writeFolder(const QString &folder, const QString &destination)
{
    using ZipFolder = void (*)(const QString &, const QString &, QString *);
    static const auto zip =
        reinterpret_cast<ZipFolder>(LoadableModule::resolve("quorvantis_zip", "quorvantis_zip_folder"));
    if (!zip)
        return QStringLiteral("Could not write %1: the ZIP module is missing").arg(destination);
    QString problem;
    zip(folder, destination, &problem);
    return problem;
}

} // namespace qv
