#include "platform/x11/x11loginitem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include "platform/ownedfiles.h"

namespace qv {

namespace {
constexpr qint64 maxEntryBytes = 64 * 1024;
} // namespace

X11LoginItem::X11LoginItem(const QString &autostartDir, const QString &program)
    : m_program(program.isEmpty() ? QCoreApplication::applicationFilePath() : program)
{
    const QString dir = autostartDir.isEmpty()
                            ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                                  QStringLiteral("/autostart")
                            : autostartDir;
    m_path = dir + QStringLiteral("/Quorvantis.desktop");
}

int X11LoginItem::status() const
{
    // Read without blocking and within a bound: a desktop entry is a few lines.
    const auto read = OwnedFiles::readRegularFile(m_path, maxEntryBytes);
    if (read.problem != OwnedFiles::ReadResult::None)
        return 0;
    bool inMainGroup = false;
    QString exec;
    for (const QByteArray &raw : read.bytes.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (!inMainGroup || eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        // Switched off by the desktop's own startup tool, or hidden by the user: not running at login.
        if ((key == QLatin1String("Hidden") && value == QLatin1String("true")) ||
            (key == QLatin1String("X-GNOME-Autostart-enabled") && value == QLatin1String("false")))
            return 0;
        if (key == QLatin1String("Exec"))
            exec = value;
    }
    // An entry that starts another program, or a copy that is no longer there, is not ours.
    const QString program = execProgram(exec);
    if (program.isEmpty())
        return 0;
    const QString found =
        program.contains(QLatin1Char('/')) ? program : QStandardPaths::findExecutable(program);
    const QString target = QFileInfo(found).canonicalFilePath();
    return !target.isEmpty() && target == QFileInfo(m_program).canonicalFilePath() ? statusEnabled : 0;
}

QString X11LoginItem::execProgram(const QString &exec)
{
    // The string value's escapes first, then the Exec quoting rules for the first argument.
    QString unescaped;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec.at(i);
        if (c != QLatin1Char('\\') || i + 1 == exec.size()) {
            unescaped += c;
            continue;
        }
        const QChar next = exec.at(++i);
        if (next == QLatin1Char('s'))
            unescaped += QLatin1Char(' ');
        else if (next == QLatin1Char('n'))
            unescaped += QLatin1Char('\n');
        else if (next == QLatin1Char('t'))
            unescaped += QLatin1Char('\t');
        else if (next == QLatin1Char('r'))
            unescaped += QLatin1Char('\r');
        else
            unescaped += next;
    }
    QString program;
    qsizetype i = 0;
    if (unescaped.startsWith(QLatin1Char('"'))) {
        for (i = 1; i < unescaped.size() && unescaped.at(i) != QLatin1Char('"'); ++i) {
            if (unescaped.at(i) == QLatin1Char('\\') && i + 1 < unescaped.size())
                ++i;
            program += unescaped.at(i);
        }
        if (i == unescaped.size())
            return {}; // unterminated quote: not a valid entry
    } else {
        for (; i < unescaped.size() && !unescaped.at(i).isSpace(); ++i)
            program += unescaped.at(i);
    }
    return program.replace(QStringLiteral("%%"), QStringLiteral("%"));
}

QString X11LoginItem::execValue(const QString &program)
{
    // Exec arguments: quote when a reserved character appears, escaping ", `, $ and \ inside the
    // quotes; then the string value's own escapes (\ doubled) and the field-code escape (% doubled).
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needsQuotes = program.isEmpty();
    for (const QChar c : program)
        needsQuotes = needsQuotes || reserved.contains(c);
    QString arg;
    if (needsQuotes) {
        arg = QStringLiteral("\"");
        for (const QChar c : program) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                c == QLatin1Char('\\'))
                arg += QLatin1Char('\\');
            arg += c;
        }
        arg += QLatin1Char('"');
    } else {
        arg = program;
    }
    QString value;
    for (const QChar c : std::as_const(arg)) {
        if (c == QLatin1Char('\\'))
            value += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            value += QStringLiteral("\\n");
        else if (c == QLatin1Char('%'))
            value += QStringLiteral("%%");
        else
            value += c;
    }
    return value;
}

QString X11LoginItem::registerItem()
{
    if (!QDir().mkpath(QFileInfo(m_path).absolutePath()))
        return QStringLiteral("cannot create %1").arg(QFileInfo(m_path).absolutePath());
    const QFileInfo existing(m_path);
    if (existing.isSymLink() || (existing.exists() && !existing.isFile()))
        return QStringLiteral("%1 is not a regular file").arg(m_path);
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=Quorvantis\n"
                                         "Exec=%1\n"
                                         "Terminal=false\n"
                                         "X-GNOME-Autostart-enabled=true\n")
                              .arg(execValue(m_program));
    file.write(entry.toUtf8());
    if (!file.commit())
        return file.errorString();
    return {};
}

QString X11LoginItem::unregisterItem()
{
    // Only the regular file we wrote: a link in its place is the user's.
    const QFileInfo info(m_path);
    if (!info.exists() && !info.isSymLink())
        return {};
    if (info.isSymLink() || !info.isFile())
        return QStringLiteral("%1 is not a regular file").arg(m_path);
    if (OwnedFiles::removeEntry(m_path))
        return {};
    return QStringLiteral("%1 could not be removed").arg(m_path);
}

} // namespace qv
