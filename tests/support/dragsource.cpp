// A small window that starts a real drag of one file with Qt's drag and drop when the left button
// is pressed on it and moved; given a file, it drags that file's bytes as a text/uri-list instead.
// The x11 tests drive it through XTEST like a person would.
#include <QApplication>
#include <QDrag>
#include <QFile>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <QWidget>

namespace {

class DragSource : public QWidget
{
public:
    explicit DragSource(QByteArray uriList) : m_uriList(std::move(uriList))
    {
        setWindowTitle(QStringLiteral("qv-drag-source"));
        resize(200, 200);
    }

protected:
    void mousePressEvent(QMouseEvent *event) override { m_pressedAt = event->position().toPoint(); }
    void mouseMoveEvent(QMouseEvent *event) override
    {
        if (!(event->buttons() & Qt::LeftButton) ||
            (event->position().toPoint() - m_pressedAt).manhattanLength() < QApplication::startDragDistance())
            return;
        auto *data = new QMimeData;
        if (m_uriList.isEmpty())
            data->setUrls({QUrl::fromLocalFile(QStringLiteral("/etc/hostname"))});
        else
            data->setData(QStringLiteral("text/uri-list"), m_uriList);
        auto *drag = new QDrag(this);
        drag->setMimeData(data);
        drag->exec(Qt::CopyAction);
    }

private:
    QByteArray m_uriList;
    QPoint m_pressedAt;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QByteArray uriList;
    if (argc > 1) {
        QFile file(QString::fromLocal8Bit(argv[1]));
        if (file.open(QIODevice::ReadOnly))
            uriList = file.readAll();
    }
    DragSource source(uriList);
    source.show();
    return app.exec();
}
