#pragma once

#include <QHash>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

// A small HTTP/1.0 server on 127.0.0.1 for the web tests. Each path answers with a scripted response;
// a path scripted as silent accepts the connection and never answers. Requested paths are recorded.
class LoopbackServer : public QTcpServer
{
public:
    struct Response
    {
        int status = 200;
        QByteArray contentType = "text/html";
        QByteArray body;
        QByteArray extraHeaders;
        bool silent = false;
        bool sendLength = true;
    };

    LoopbackServer()
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }

    QUrl url(const QString &path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(path));
    }

    void script(const QString &path, const Response &response) { m_responses.insert(path, response); }

    QStringList requested;

private:
    void answer(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer.append(socket->readAll());
        if (!buffer.contains("\r\n\r\n"))
            return;
        const QString path = QString::fromLatin1(buffer.split(' ').value(1));
        requested.append(path);
        m_buffers.remove(socket);
        const auto found = m_responses.constFind(path);
        Response response = found != m_responses.constEnd() ? *found : Response{404, "text/plain", "missing",
                                                                                {},  false,        true};
        if (response.silent)
            return;
        QByteArray head = "HTTP/1.0 " + QByteArray::number(response.status) +
                          " X\r\nContent-Type: " + response.contentType + "\r\n" + response.extraHeaders;
        if (response.sendLength)
            head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
        head += "Connection: close\r\n\r\n";
        socket->write(head + response.body);
        socket->disconnectFromHost();
    }

    QHash<QString, Response> m_responses;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};
