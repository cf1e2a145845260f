#include "platform/loadablemodule.h"

#include <QCoreApplication>
#include <QDir>
#include <QHash>
#include <QLibrary>
#include <QLoggingCategory>
#include <QMutex>

#include <memory>

Q_LOGGING_CATEGORY(lcModules, "quorvantis.modules")

namespace qv {

namespace {

QStringList folders()
{
    QStringList list;
    if (QCoreApplication::instance())
        list.append(QCoreApplication::applicationDirPath() + QStringLiteral("/../lib/quorvantis"));
    list.append(QStringLiteral(QV_MODULE_BUILD_DIR));
    return list;
}

} // namespace

QFunctionPointer LoadableModule::resolve(const char *name, const char *symbol)
{
    static QMutex mutex;
    static QHash<QByteArray, std::shared_ptr<QLibrary>> loaded;
    QMutexLocker lock(&mutex);
    std::shared_ptr<QLibrary> &library = loaded[QByteArray(name)];
    if (!library) {
        library = std::make_shared<QLibrary>();
        for (const QString &folder : folders()) {
            library->setFileName(QDir(folder).filePath(QStringLiteral("lib") + QLatin1String(name)));
            if (library->load())
                break;
        }
        if (!library->isLoaded())
            qCWarning(lcModules).noquote() << QStringLiteral("⚠️ Module %1 not found: %2")
                                                  .arg(QLatin1String(name), library->errorString());
    }
    return library->isLoaded() ? library->resolve(symbol) : nullptr;
}

} // namespace qv
