#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <optional>

// A home folder of the test program's own, removed when it ends: test-mode standard folders keep
// Qt's own paths apart, but they sit in the real home (~/.qttest), and libraries and the programs
// the tests start (the sound library's cache, terminals, panels) write under HOME and the XDG
// folders directly. Made before anything reads them; what the test program starts inherits it.
class PrivateHome
{
public:
    PrivateHome()
    {
        // A test program started by another (a death test's child is the program run again for
        // one statement, and ends without unwinding) lives in its parent's home, which the parent
        // removes: a home of its own would be left behind.
        const QByteArray inherited = qgetenv("QV_TEST_PROGRAM_HOME");
        if (!inherited.isEmpty() && inherited == qgetenv("HOME") &&
            QDir(QFile::decodeName(inherited)).exists())
            return;
        m_home.emplace(QDir::tempPath() + QStringLiteral("/qv-test-home-XXXXXX"));
        if (!m_home->isValid())
            qFatal("no temporary folder for the test program's home: %s", qPrintable(m_home->errorString()));
        qputenv("HOME", QFile::encodeName(m_home->path()));
        qputenv("QV_TEST_PROGRAM_HOME", QFile::encodeName(m_home->path()));
        for (const char *name : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"})
            qputenv(name, QFile::encodeName(m_home->filePath(QString::fromLatin1(name))));
    }

private:
    std::optional<QTemporaryDir> m_home;
};
