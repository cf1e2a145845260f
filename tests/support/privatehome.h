#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// A home folder of the test program's own, removed when it ends: test-mode standard folders keep
// Qt's own paths apart, but they sit in the real home (~/.qttest), and libraries and the programs
// the tests start (the sound library's cache, terminals, panels) write under HOME and the XDG
// folders directly. Made before anything reads them; what the test program starts inherits it.
class PrivateHome
{
public:
    PrivateHome()
    {
        if (!m_home.isValid())
            qFatal("no temporary folder for the test program's home: %s", qPrintable(m_home.errorString()));
        qputenv("HOME", QFile::encodeName(m_home.path()));
        for (const char *name : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"})
            qputenv(name, QFile::encodeName(m_home.filePath(QString::fromLatin1(name))));
    }

private:
    QTemporaryDir m_home{QDir::tempPath() + QStringLiteral("/qv-test-home-XXXXXX")};
};
