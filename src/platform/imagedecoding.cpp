#include "platform/imagedecoding.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>
#include <QXmlStreamReader>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace qv::ImageDecoding {

namespace {

// Reads a device in blocks, so that a JPEG's markers can be walked without holding the file.
class ByteSource
{
public:
    explicit ByteSource(QIODevice &device) : m_device(device) {}

    int get()
    {
        if (m_pos >= m_buffer.size() && !refill())
            return -1;
        return uchar(m_buffer.at(m_pos++));
    }

    bool skip(qint64 count)
    {
        while (count > 0) {
            if (m_pos >= m_buffer.size() && !refill())
                return false;
            const qint64 take = std::min<qint64>(count, m_buffer.size() - m_pos);
            m_pos += take;
            count -= take;
        }
        return true;
    }

    // Moves to the next 0xFF byte without taking it; false at the end.
    bool findMarkerByte()
    {
        for (;;) {
            if (m_pos >= m_buffer.size() && !refill())
                return false;
            const void *found = std::memchr(m_buffer.constData() + m_pos, 0xFF, size_t(m_buffer.size() - m_pos));
            if (found) {
                m_pos = static_cast<const char *>(found) - m_buffer.constData();
                return true;
            }
            m_pos = m_buffer.size();
        }
    }

private:
    bool refill()
    {
        m_buffer = m_device.read(64 * 1024);
        m_pos = 0;
        return !m_buffer.isEmpty();
    }

    QIODevice &m_device;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
};

bool isFrameMarker(int marker)
{
    // SOF0-SOF15, less DHT (C4), JPG (C8) and DAC (CC).
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

bool isProgressiveFrame(int marker)
{
    return marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
}

std::optional<JpegHeader> walkJpeg(ByteSource &source)
{
    if (source.get() != 0xFF || source.get() != 0xD8)
        return std::nullopt;
    JpegHeader header;
    bool haveFrame = false;
    for (;;) {
        // Between markers lies entropy-coded data, in which 0xFF is always followed by 0x00 or a
        // restart marker.
        if (!source.findMarkerByte())
            break;
        source.get();
        int marker = source.get();
        while (marker == 0xFF)
            marker = source.get();
        if (marker < 0 || marker == 0xD9)
            break;
        if (marker == 0x00 || marker == 0x01 || marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7))
            continue;
        const int high = source.get();
        const int low = source.get();
        if (low < 0)
            break;
        const int length = (high << 8) | low;
        if (length < 2)
            break;
        if (isFrameMarker(marker) && !haveFrame) {
            if (length < 8)
                break;
            std::array<int, 6> fields{};
            for (int &field : fields)
                field = source.get();
            if (fields[5] < 0)
                break;
            header.size = QSize((fields[3] << 8) | fields[4], (fields[1] << 8) | fields[2]);
            header.components = fields[5];
            header.progressive = isProgressiveFrame(marker);
            haveFrame = true;
            if (!source.skip(length - 8))
                break;
            continue;
        }
        if (marker == 0xDA && ++header.scans > maxProgressiveScans)
            break;
        if (!source.skip(length - 2))
            break;
    }
    if (!haveFrame)
        return std::nullopt;
    return header;
}

std::optional<QByteArray> uncompressedSvg(const QByteArray &svg)
{
    if (!svg.startsWith("\x1f\x8b"))
        return svg;
    z_stream stream{};
    // 16 + window bits: a gzip wrapper.
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK)
        return std::nullopt;
    QByteArray out;
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(svg.constData()));
    stream.avail_in = uInt(svg.size());
    int status = Z_OK;
    while (status == Z_OK) {
        // A small file that inflates past the cap is refused, not held.
        if (out.size() >= maxSvgBytes) {
            status = Z_MEM_ERROR;
            break;
        }
        const qsizetype before = out.size();
        out.resize(before + 64 * 1024);
        stream.next_out = reinterpret_cast<Bytef *>(out.data() + before);
        stream.avail_out = 64 * 1024;
        status = inflate(&stream, Z_NO_FLUSH);
        out.resize(before + 64 * 1024 - qsizetype(stream.avail_out));
        if (status == Z_BUF_ERROR && stream.avail_in == 0)
            break;
        if (status == Z_BUF_ERROR)
            status = Z_OK;
    }
    inflateEnd(&stream);
    if (status != Z_STREAM_END)
        return std::nullopt;
    return out;
}

// A reference is harmless when it points inside the document or carries its data inline.
bool isInnerReference(QStringView target)
{
    target = target.trimmed();
    if (target.startsWith(QLatin1Char('"')) || target.startsWith(QLatin1Char('\'')))
        target = target.mid(1).trimmed();
    return target.isEmpty() || target.startsWith(QLatin1Char('#')) ||
           target.startsWith(QLatin1String("data:"), Qt::CaseInsensitive);
}

// Text that may hold style rules: every url() must point inside, and nothing is imported.
bool isSelfContainedStyle(QStringView text)
{
    if (text.contains(QLatin1String("@import"), Qt::CaseInsensitive))
        return false;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = text.indexOf(QLatin1String("url("), from, Qt::CaseInsensitive);
        if (at < 0)
            return true;
        if (!isInnerReference(text.mid(at + 4)))
            return false;
        from = at + 4;
    }
}

std::atomic<int> abandonedRenders{0};

QImage renderSvgNow(const QByteArray &plain, const QSize &fit, QSize *stated)
{
    QSvgRenderer renderer(plain);
    if (!renderer.isValid())
        return QImage();
    const QSize size = renderer.defaultSize();
    *stated = size;
    QSize target;
    if (fit.isValid() && !fit.isEmpty())
        target = size.isEmpty() ? fit : size.scaled(fit, Qt::KeepAspectRatio);
    else if (size.isEmpty())
        target = QSize(maxSvgSide, maxSvgSide);
    else if (size.width() > maxSvgSide || size.height() > maxSvgSide)
        target = size.scaled(maxSvgSide, maxSvgSide, Qt::KeepAspectRatio);
    else
        target = size;
    QImage image(target.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

QImage readSvg(QIODevice &device, const QSize &fit, QSize *sourceSize)
{
    const QByteArray bytes = device.read(maxSvgBytes + 1);
    if (bytes.size() > maxSvgBytes)
        return QImage();
    return renderSvg(bytes, fit, sourceSize);
}

void tell(QString *refusal, const QString &cause)
{
    if (refusal)
        *refusal = cause;
}

QString tooManyPixels(const QSize &size)
{
    return QStringLiteral("too many pixels (%1×%2)").arg(size.width()).arg(size.height());
}

QImage read(QIODevice &device, const QSize &fit, QSize *sourceSize, QString *refusal)
{
    const qint64 start = device.pos();
    QByteArray format;
    {
        QImageReader probe(&device);
        format = probe.format();
    }
    if (format.isEmpty() || !device.seek(start))
        return QImage();
    // The image plugin for drawings would read whatever files a drawing names.
    if (format == "svg" || format == "svgz")
        return readSvg(device, fit, sourceSize);
    if (format == "jpeg" || format == "jpg") {
        const auto header = readJpegHeader(device);
        if (!header)
            return QImage();
        if (const QString cause = jpegRefusal(*header, fit); !cause.isEmpty()) {
            tell(refusal, cause);
            return QImage();
        }
    }

    QImageReader reader(&device, format);
    reader.setAllocationLimit(allocationLimitMB);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > maxSourcePixels) {
        tell(refusal, tooManyPixels(size));
        return QImage();
    }
    if (fit.isValid() && size.isValid() && (size.width() > fit.width() || size.height() > fit.height()))
        reader.setScaledSize(size.scaled(fit, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    QImage image = reader.read();
    if (image.isNull())
        return image;
    if (sourceSize)
        *sourceSize = size.isValid() ? size : image.size();
    if (fit.isValid() && (image.width() > fit.width() || image.height() > fit.height()))
        // A very narrow picture keeps at least one pixel on its short side.
        image = image.scaled(image.size().scaled(fit, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)),
                             Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

} // namespace

std::optional<JpegHeader> readJpegHeader(QIODevice &device)
{
    const qint64 start = device.pos();
    ByteSource source(device);
    auto header = walkJpeg(source);
    device.seek(start);
    return header;
}

qint64 jpegDecodeCost(const JpegHeader &header, const QSize &fit)
{
    const qint64 width = header.size.width();
    const qint64 height = header.size.height();
    // A decoder that cannot emit rows as they come (progressive, or components in scans of their
    // own) holds 16-bit coefficients for every block of the picture.
    const bool buffered = header.progressive || header.scans > 1;
    const qint64 coefficients =
        buffered ? ((width + 7) / 8 * 8) * ((height + 7) / 8 * 8) * std::max(1, header.components) * 2 : 0;
    qint64 outputWidth = width;
    qint64 outputHeight = height;
    if (fit.isValid() && (width > fit.width() || height > fit.height())) {
        // The decoder scales by at most an eighth; the rest is scaled afterwards.
        const QSize scaled = header.size.scaled(fit, Qt::KeepAspectRatio);
        outputWidth = std::max<qint64>(scaled.width(), (width + 7) / 8);
        outputHeight = std::max<qint64>(scaled.height(), (height + 7) / 8);
    }
    return coefficients + outputWidth * outputHeight * 4;
}

QString jpegRefusal(const JpegHeader &header, const QSize &fit)
{
    const qint64 pixels = qint64(header.size.width()) * header.size.height();
    if (header.size.isEmpty())
        return QStringLiteral("no size");
    if (pixels > maxSourcePixels)
        return tooManyPixels(header.size);
    if (header.scans > maxProgressiveScans)
        return QStringLiteral("too many scans (more than %1)").arg(maxProgressiveScans);
    if ((header.progressive || header.scans > 1) && pixels > maxProgressivePixels)
        return tooManyPixels(header.size) + QStringLiteral(" for a progressive JPEG");
    if (const qint64 cost = jpegDecodeCost(header, fit); cost > budgetBytes)
        return QStringLiteral("too costly to decode (%1 MB)").arg(cost / (1024 * 1024));
    return QString();
}

bool isWithinBudget(const JpegHeader &header, const QSize &fit)
{
    return jpegRefusal(header, fit).isEmpty();
}

bool isRegularFile(const QString &path)
{
    std::error_code error;
    return std::filesystem::is_regular_file(std::filesystem::path(QFile::encodeName(path).toStdString()),
                                            error);
}

QImage readFile(const QString &path, const QSize &fit, QSize *sourceSize, QString *refusal)
{
    // Opened without blocking and checked on the open file: a pipe or a device put in the file's
    // place could block the reader for ever.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return QImage();
    struct stat status = {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return QImage();
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return QImage();
    }
    return read(file, fit, sourceSize, refusal);
}

AnimationFrames readAnimation(const QString &path, const QSize &fit, int maxFrames, qint64 budgetBytes)
{
    AnimationFrames frames;
    if (!isRegularFile(path))
        return frames;
    QImageReader reader(path);
    const QByteArray format = reader.format();
    // Drawings and JPEGs never animate; they take readFile()'s own checks.
    if (format.isEmpty() || format == "svg" || format == "svgz" || format == "jpeg" || format == "jpg")
        return frames;
    reader.setAllocationLimit(allocationLimitMB);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (!size.isValid() || qint64(size.width()) * size.height() > maxSourcePixels)
        return frames;
    const QSize shown = fit.isValid() && (size.width() > fit.width() || size.height() > fit.height())
                            ? size.scaled(fit, Qt::KeepAspectRatio).expandedTo(QSize(1, 1))
                            : size;
    const qint64 frameBytes = qint64(shown.width()) * shown.height() * 4;
    qint64 held = 0;
    while (frames.images.size() < maxFrames && held + frameBytes <= budgetBytes) {
        QImage image = reader.read();
        if (image.isNull())
            break;
        if (image.size() != shown)
            image = image.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        held += frameBytes;
        frames.images.append(image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
        // Browsers treat delays under 20 ms as 100 ms; so do we, so a zero delay cannot spin.
        const int delay = reader.nextImageDelay();
        frames.delaysMs.append(delay < 20 ? 100 : delay);
        if (!reader.canRead())
            break;
    }
    return frames;
}

QImage readData(const QByteArray &bytes, const QSize &fit, QSize *sourceSize, QString *refusal)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    return read(buffer, fit, sourceSize, refusal);
}

bool isSelfContainedSvg(const QByteArray &svg)
{
    const auto plain = uncompressedSvg(svg);
    if (!plain)
        return false;
    QXmlStreamReader xml(*plain);
    // As the renderer reads it: prefixes need no declaration.
    xml.setNamespaceProcessing(false);
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::DTD:
            if (!xml.entityDeclarations().isEmpty() || xml.text().contains(QLatin1String("<!ENTITY")))
                return false;
            break;
        case QXmlStreamReader::EntityReference:
        case QXmlStreamReader::ProcessingInstruction:
            return false;
        case QXmlStreamReader::StartElement:
            for (const QXmlStreamAttribute &attribute : xml.attributes()) {
                QStringView name = attribute.qualifiedName();
                name = name.mid(name.lastIndexOf(QLatin1Char(':')) + 1);
                const bool reference = name.compare(QLatin1String("href"), Qt::CaseInsensitive) == 0 ||
                                       name.compare(QLatin1String("src"), Qt::CaseInsensitive) == 0;
                if (reference && !isInnerReference(attribute.value()))
                    return false;
                if (!isSelfContainedStyle(attribute.value()))
                    return false;
            }
            break;
        case QXmlStreamReader::Characters:
            if (!isSelfContainedStyle(xml.text()))
                return false;
            break;
        default:
            break;
        }
    }
    return !xml.hasError();
}

QImage renderSvg(const QByteArray &svg, const QSize &fit, QSize *sourceSize, int timeLimitMs)
{
    const auto plain = uncompressedSvg(svg);
    if (!plain || !isSelfContainedSvg(*plain))
        return QImage();
    struct Drawn
    {
        QImage image;
        QSize stated;
    };
    const std::optional<Drawn> drawn = runWithin<Drawn>(
        [bytes = *plain, fit] {
            Drawn drawn;
            drawn.image = renderSvgNow(bytes, fit, &drawn.stated);
            return drawn;
        },
        timeLimitMs);
    if (!drawn)
        return QImage();
    if (sourceSize && !drawn->image.isNull())
        *sourceSize = drawn->stated.isEmpty() ? drawn->image.size() : drawn->stated;
    return drawn->image;
}

namespace detail {

bool runWithin(std::function<void()> work, int timeLimitMs)
{
    if (abandonedRenders.load() >= maxAbandonedRenders)
        return false;
    struct Run
    {
        std::mutex mutex;
        std::condition_variable finished;
        bool done = false;
        bool abandoned = false;
    };
    auto run = std::make_shared<Run>();
    std::thread thread;
    try {
        thread = std::thread([run, work = std::move(work)] {
            work();
            std::lock_guard lock(run->mutex);
            run->done = true;
            if (run->abandoned)
                --abandonedRenders;
            run->finished.notify_all();
        });
    } catch (const std::system_error &) {
        return false;
    }
    std::unique_lock lock(run->mutex);
    if (!run->finished.wait_for(lock, std::chrono::milliseconds(timeLimitMs), [&] { return run->done; })) {
        run->abandoned = true;
        ++abandonedRenders;
        lock.unlock();
        thread.detach();
        return false;
    }
    lock.unlock();
    // Done: only its exit is left (the per-thread caches of fonts and the like it frees), which is
    // waited for, so no thread outlives a finished render.
    thread.join();
    return true;
}

} // namespace detail

QImage aspectFit(const QImage &source, const QSize &canvas)
{
    QImage result(canvas, QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    if (source.width() <= 0 || source.height() <= 0)
        return result;
    const double scale =
        std::min(double(canvas.width()) / source.width(), double(canvas.height()) / source.height());
    const QSizeF drawn(source.width() * scale, source.height() * scale);
    const QRectF target(QPointF((canvas.width() - drawn.width()) / 2, (canvas.height() - drawn.height()) / 2),
                        drawn);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(target, source);
    return result;
}

} // namespace qv::ImageDecoding
