// The settings file as it lies on disk: any bytes load without a crash, a file that does not load is
// set aside, and every typed read of what loaded answers. A change made on top of what loaded is
// either written and read back by the next start, or not made at all.
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

#include "core/settingskeys.h"
#include "core/settingsstore.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("defaults.json"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(qv::fuzz::bytes(data, size));
    }
    qv::SettingsStore store(path);
    const QVariantMap values = store.storedValues();
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const QByteArray name = it.key().toLatin1();
        store.get(qv::SettingKey<bool>{name.constData(), false});
        store.get(qv::SettingKey<int>{name.constData(), 0});
        store.get(qv::SettingKey<double>{name.constData(), 0.0});
        store.get(qv::SettingKey<QString>{name.constData(), {}});
        store.get(qv::SettingKey<QStringList>{name.constData(), {}});
        store.get(qv::SettingKey<QVariantMap>{name.constData(), {}});
    }
    store.get(qv::Settings::maskSensitiveClipboard);
    const QVariantMap before = store.storedValues();
    const bool wanted = !store.get(qv::Settings::ignoreSingleWindow);
    if (store.set(qv::Settings::ignoreSingleWindow, wanted)) {
        if (qv::SettingsStore(path).get(qv::Settings::ignoreSingleWindow) != wanted)
            abort();
    } else if (store.storedValues() != before) {
        abort();
    }
    if (!store.quarantinedPath().isEmpty())
        QFile::remove(store.quarantinedPath());
    return 0;
}
