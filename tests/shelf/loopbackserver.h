#pragma once

#include <QHash>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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

// An HTTP/1.0 server on 127.0.0.1 that answers every request with `head` and then a body of
// `prefix` followed by `fill` bytes, `total` bytes in all, written from a thread of its own as fast
// as the client takes them (as a real server would, whatever the client's event loop is doing), or
// given a pause, `piece` bytes at a time with that pause between. `sent()` counts the bytes the
// client's side took, so a test can tell where reading stopped.
class StreamingServer
{
public:
    StreamingServer(QByteArray contentType, QByteArray prefix, qint64 total, bool sendLength, char fill = '\0',
                    int piece = 64 * 1024, int pauseMs = 0)
        : m_contentType(std::move(contentType)), m_prefix(std::move(prefix)), m_total(total),
          m_sendLength(sendLength), m_fill(fill), m_piece(piece), m_pauseMs(pauseMs)
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof(address));
        ::listen(m_listener, 8);
        ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { run(); });
    }

    ~StreamingServer()
    {
        m_stop = true;
        ::shutdown(m_listener, SHUT_RDWR);
        m_thread.join();
        ::close(m_listener);
    }

    QUrl url(const QString &path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path));
    }
    qint64 sent() const { return m_sent.load(); }

private:
    void run()
    {
        while (!m_stop) {
            const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                return;
            // A client that stops reading without closing lets the loop look at m_stop again.
            timeval timeout{0, 200000};
            ::setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
            ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
            serve(client);
            ::close(client);
        }
    }

    void serve(int client)
    {
        QByteArray request;
        char buffer[4096];
        while (!request.contains("\r\n\r\n") && request.size() < 65536 && !m_stop) {
            const ssize_t got = ::recv(client, buffer, sizeof(buffer), 0);
            if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR))
                return;
            if (got > 0)
                request.append(buffer, got);
        }
        QByteArray head = "HTTP/1.0 200 OK\r\nContent-Type: " + m_contentType + "\r\n";
        if (m_sendLength)
            head += "Content-Length: " + QByteArray::number(m_total) + "\r\n";
        head += "Connection: close\r\n\r\n";
        if (!sendAll(client, head, false))
            return;
        QByteArray chunk = m_prefix;
        qint64 left = m_total;
        while (left > 0 && !m_stop) {
            if (chunk.isEmpty())
                chunk = QByteArray(int(std::min<qint64>(left, m_piece)), m_fill);
            chunk.truncate(qsizetype(std::min<qint64>(chunk.size(), left)));
            if (!sendAll(client, chunk, true))
                return;
            left -= chunk.size();
            chunk.clear();
            for (int waited = 0; waited < m_pauseMs && !m_stop; waited += 50)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }

    bool sendAll(int client, const QByteArray &bytes, bool counted)
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            if (m_stop)
                return false;
            const ssize_t wrote = ::send(client, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
            if (wrote < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            if (wrote <= 0)
                return false;
            done += wrote;
            if (counted)
                m_sent += wrote;
        }
        return true;
    }

    QByteArray m_contentType;
    QByteArray m_prefix;
    qint64 m_total = 0;
    bool m_sendLength = false;
    char m_fill = '\0';
    int m_piece = 0;
    int m_pauseMs = 0;
    int m_listener = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<qint64> m_sent{0};
    std::thread m_thread;
};
