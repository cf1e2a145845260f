#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <zip.h>

#include <list>
#include <memory>

#include <sys/stat.h>

namespace qv {

namespace {

QString zipMessage(zip_error_t *error)
{
    return QString::fromUtf8(zip_error_strerror(error));
}

struct SourceDeleter
{
    void operator()(zip_source_t *source) const { zip_source_free(source); }
};

// Reads the whole of a buffer source that libzip has finished writing into.
QString readSource(zip_source_t *source, QByteArray &out)
{
    if (zip_source_open(source) < 0)
        return zipMessage(zip_source_error(source));
    QString problem;
    if (zip_source_seek(source, 0, SEEK_END) < 0) {
        problem = zipMessage(zip_source_error(source));
    } else {
        const zip_int64_t size = zip_source_tell(source);
        if (size < 0 || zip_source_seek(source, 0, SEEK_SET) < 0) {
            problem = zipMessage(zip_source_error(source));
        } else {
            out.resize(qsizetype(size));
            if (zip_source_read(source, out.data(), zip_uint64_t(size)) != size)
                problem = QStringLiteral("The archive could not be read back from memory");
        }
    }
    zip_source_close(source);
    return problem;
}

// Whoever unpacks the archive gets what its entries say: a folder 0755 and a file 0644, never the
// world-writable modes libzip stores when none is given.
bool setUnixMode(zip_t *archive, zip_int64_t index, mode_t mode)
{
    return zip_file_set_external_attributes(archive, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX,
                                            zip_uint32_t(mode) << 16) == 0;
}

QString writeFolder(const QString &folder, const QString &destination)
{
    zip_error_t error;
    zip_error_init(&error);
    std::unique_ptr<zip_source_t, SourceDeleter> buffer(zip_source_buffer_create(nullptr, 0, 0, &error));
    if (!buffer) {
        const QString message = zipMessage(&error);
        zip_error_fini(&error);
        return message;
    }
    zip_t *archive = zip_open_from_source(buffer.get(), ZIP_TRUNCATE, &error);
    if (!archive) {
        const QString message = zipMessage(&error);
        zip_error_fini(&error);
        return message;
    }
    zip_error_fini(&error);
    // The archive takes over one reference of the buffer; keep ours to read the result after closing.
    zip_source_keep(buffer.get());

    // libzip reads entry data only when the archive is closed, so the bytes must outlive the loop.
    std::list<QByteArray> contents;
    QString problem;
    const QDir root(folder);
    QStringList paths;
    QDirIterator it(folder, QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        paths.append(it.next());
    paths.sort();
    for (const QString &path : std::as_const(paths)) {
        const QFileInfo info(path);
        const QByteArray name = root.relativeFilePath(path).toUtf8();
        if (info.isDir()) {
            const zip_int64_t index = zip_dir_add(archive, name.constData(), ZIP_FL_ENC_UTF_8);
            if (index < 0 || !setUnixMode(archive, index, S_IFDIR | 0755)) {
                problem = zipMessage(zip_get_error(archive));
                break;
            }
            continue;
        }
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            problem = QStringLiteral("Could not read %1: %2").arg(path, file.errorString());
            break;
        }
        contents.push_back(file.readAll());
        const QByteArray &data = contents.back();
        zip_source_t *source = zip_source_buffer(archive, data.constData(), zip_uint64_t(data.size()), 0);
        if (!source) {
            problem = zipMessage(zip_get_error(archive));
            break;
        }
        const zip_int64_t index =
            zip_file_add(archive, name.constData(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
        if (index < 0) {
            zip_source_free(source);
            problem = zipMessage(zip_get_error(archive));
            break;
        }
        if (!setUnixMode(archive, index, S_IFREG | 0644)) {
            problem = zipMessage(zip_get_error(archive));
            break;
        }
    }
    if (!problem.isEmpty()) {
        zip_discard(archive);
        return problem;
    }
    if (zip_close(archive) < 0) {
        problem = zipMessage(zip_get_error(archive));
        zip_discard(archive);
        return problem;
    }

    QByteArray bytes;
    problem = readSource(buffer.get(), bytes);
    if (!problem.isEmpty())
        return problem;

    QSaveFile out(destination);
    if (!out.open(QIODevice::WriteOnly))
        return QStringLiteral("Could not write %1: %2").arg(destination, out.errorString());
    if (out.write(bytes) != bytes.size() || !out.commit())
        return QStringLiteral("Could not write %1: %2").arg(destination, out.errorString());
    return {};
}

} // namespace

} // namespace qv

extern "C" Q_DECL_EXPORT void quorvantis_zip_folder(const QString &folder, const QString &destination,
                                                    QString *problem)
{
    *problem = qv::writeFolder(folder, destination);
}
