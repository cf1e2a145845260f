#include "support/screenshot.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMap>
#include <QPixmap>
#include <QSaveFile>
#include <QWidget>

#include <gtest/gtest.h>

namespace qv {

namespace {

// Every picture a widget test renders offscreen is compared with the one people last looked at and
// approved: a fault in a size, a colour, an outline or a missing hint changes pixels that no other
// check reads. The approved pictures are kept as hashes of their pixels, one file per test program;
// offscreen rendering is the same from run to run and from one processor to another. A picture
// with no approved hash is not compared.
// QV_UPDATE_LOOKS=1 records the pictures of this run instead (after looking at them).
class Looks
{
public:
    Looks()
        : m_path(QStringLiteral(QV_TEST_SUPPORT_DIR "/looks/%1.txt")
                     .arg(QFileInfo(QCoreApplication::applicationFilePath()).fileName())),
          m_update(qEnvironmentVariableIntValue("QV_UPDATE_LOOKS") == 1)
    {
        QFile file(m_path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return;
        while (!file.atEnd()) {
            const QList<QByteArray> fields = file.readLine().trimmed().split(' ');
            if (fields.size() == 2)
                m_approved.insert(QString::fromUtf8(fields[0]), fields[1]);
        }
    }
    ~Looks()
    {
        if (!m_update || m_seen.isEmpty())
            return;
        QMap<QString, QByteArray> all = m_approved;
        all.insert(m_seen);
        QDir().mkpath(QFileInfo(m_path).path());
        QSaveFile file(m_path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
            return;
        for (auto it = all.cbegin(); it != all.cend(); ++it)
            file.write(it.key().toUtf8() + ' ' + it.value() + '\n');
        file.commit();
    }

    void check(const QImage &image, const QString &name)
    {
        // The same name taken again later in a test is a picture of its own.
        const QString key = QStringLiteral("%1#%2").arg(name).arg(m_taken[name]++);
        // Without an alpha channel the fourth byte of a pixel is left undefined by some painting
        // paths: only the colours are read then.
        const bool alpha = image.hasAlphaChannel();
        const QImage pixels =
            image.convertToFormat(alpha ? QImage::Format_RGBA8888_Premultiplied : QImage::Format_RGB888);
        QCryptographicHash hash(QCryptographicHash::Sha1);
        hash.addData(QByteArray::number(pixels.width()) + 'x' + QByteArray::number(pixels.height()));
        for (int y = 0; y < pixels.height(); ++y)
            hash.addData(QByteArrayView(reinterpret_cast<const char *>(pixels.constScanLine(y)),
                                        qsizetype(pixels.width()) * (alpha ? 4 : 3)));
        const QByteArray seen = hash.result().toHex().left(20);
        const QByteArray approved = m_approved.value(key);
        m_seen.insert(key, seen);
        if (m_update || approved.isEmpty())
            return;
        EXPECT_EQ(approved, seen)
            << "the picture " << key.toStdString() << " looks different from the approved one; look at it "
            << "(QV_SCREENSHOT_DIR) and, if it is right, record it with QV_UPDATE_LOOKS=1";
    }

private:
    QString m_path;
    bool m_update;
    QMap<QString, QByteArray> m_approved;
    QMap<QString, QByteArray> m_seen;
    QMap<QString, int> m_taken;
};

} // namespace

QString saveScreenshot(QWidget &widget, const QString &name)
{
    // Render even when the widget was never shown, so a test needs no visible window.
    return saveScreenshot(widget.grab().toImage(), name);
}

QString saveScreenshot(const QImage &image, const QString &name)
{
    // Only offscreen pictures are the same on every run; those read from a real screen are not.
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        static Looks looks;
        looks.check(image, name);
    }
    const QString folder = qEnvironmentVariable("QV_SCREENSHOT_DIR");
    if (folder.isEmpty())
        return QString();
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
    return image.save(path, "PNG") ? path : QString();
}

} // namespace qv
