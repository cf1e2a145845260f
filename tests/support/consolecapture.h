#pragma once

#include <QByteArray>
#include <QMutex>
#include <QStringList>
#include <QtGlobal>

namespace qv::test {

// Collects the program's own console lines (its "quorvantis" categories) while it lives; any thread.
class ConsoleCapture
{
public:
    ConsoleCapture() : m_previous(qInstallMessageHandler(capture))
    {
        QMutexLocker lock(&mutex());
        linesRef().clear();
    }
    ~ConsoleCapture() { qInstallMessageHandler(m_previous); }
    ConsoleCapture(const ConsoleCapture &) = delete;
    ConsoleCapture &operator=(const ConsoleCapture &) = delete;

    QStringList lines() const
    {
        QMutexLocker lock(&mutex());
        return linesRef();
    }
    // The lines that hold `text`.
    QStringList linesWith(const QString &text) const { return lines().filter(text); }

private:
    static QMutex &mutex()
    {
        static QMutex m;
        return m;
    }
    static QStringList &linesRef()
    {
        static QStringList captured;
        return captured;
    }
    static void capture(QtMsgType, const QMessageLogContext &context, const QString &message)
    {
        if (context.category && QByteArray(context.category).startsWith("quorvantis")) {
            QMutexLocker lock(&mutex());
            linesRef().append(message);
        }
    }

    QtMessageHandler m_previous;
};

} // namespace qv::test
