// Pictures from outside, through every way into the one decoding path: unscaled and scaled reads,
// the thumbnailer by file type, and the clipboard's image cache. The first byte picks the way (and
// the file type); the rest is the picture.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdlib>

#include "clipboard/clipboardmanager.h"
#include "fuzzsupport.h"
#include "platform/imagedecoding.h"
#include "platform/x11/x11thumbnailer.h"

namespace {

bool fits(const QImage &image, const QSize &box)
{
    return image.isNull() || (image.width() <= box.width() && image.height() <= box.height());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // Drawings with text need fonts, which need an application.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace qv;
    static QTemporaryDir folder;
    if (size < 1)
        return 0;
    const QByteArray bytes = fuzz::bytes(data + 1, size - 1);
    const QSize box(64, 64);
    switch (data[0] % 4) {
    case 0: {
        QSize stated;
        const QImage image = ImageDecoding::readData(bytes, QSize(), &stated);
        if (!image.isNull() && qint64(image.width()) * image.height() > ImageDecoding::maxSourcePixels)
            __builtin_trap();
        break;
    }
    case 1:
        if (!fits(ImageDecoding::readData(bytes, box), box))
            __builtin_trap();
        break;
    case 2: {
        static const char *const suffixes[] = {"jpg", "png", "svg", "svgz", "gif", "bmp", "webp", "ico"};
        const QString path = folder.filePath(QStringLiteral("input.") +
                                             QLatin1String(suffixes[(data[0] / 4) % std::size(suffixes)]));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(bytes);
        file.close();
        QString error;
        const QImage thumbnail = X11Thumbnailer::render(path, box, &error);
        // A drawing may be drawn at the size asked; nothing is ever larger.
        if (!fits(thumbnail, box) || thumbnail.isNull() == error.isEmpty())
            __builtin_trap();
        QFile::remove(path);
        break;
    }
    case 3: {
        const QString cache = folder.filePath(QStringLiteral("cache"));
        QDir().mkpath(cache);
        const auto record = ClipboardManager::cacheImageData(bytes, cache);
        const QStringList left = QDir(cache).entryList(QDir::Files);
        // A picture that is refused leaves nothing; one that is kept is exactly what came.
        if (!record && !left.isEmpty())
            __builtin_trap();
        if (record) {
            QFile cached(record->fileURL.toLocalFile());
            if (!cached.open(QIODevice::ReadOnly) || cached.readAll() != bytes ||
                record->imageSize.isEmpty())
                __builtin_trap();
            cached.remove();
        }
        break;
    }
    }
    return 0;
}
