#include "platform/x11/x11loginitem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace qv {

X11LoginItem::X11LoginItem(const QString &autostartDir)
{
    const QString dir = autostartDir.isEmpty()
                            ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                                  QStringLiteral("/autostart")
                            : autostartDir;
    m_path = dir + QStringLiteral("/Quorvantis.desktop");
}

int X11LoginItem::status() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return 0;
    bool inMainGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inMainGroup)
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0 && line.left(eq).trimmed() == QLatin1String("Hidden") &&
            line.mid(eq + 1).trimmed() == QLatin1String("true"))
            return 0;
    }
    return statusEnabled;
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
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=Quorvantis\n"
                                         "Exec=%1\n"
                                         "Terminal=false\n"
                                         "X-GNOME-Autostart-enabled=true\n")
                              .arg(execValue(QCoreApplication::applicationFilePath()));
    file.write(entry.toUtf8());
    if (!file.commit())
        return file.errorString();
    return {};
}

QString X11LoginItem::unregisterItem()
{
    QFile file(m_path);
    if (!file.exists() || file.remove())
        return {};
    return file.errorString();
}

} // namespace qv
