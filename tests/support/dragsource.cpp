// A small window that starts a real drag of one file with Qt's drag and drop when the left button
// is pressed on it and moved. The x11 tests drive it through XTEST like a person would.
#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <QWidget>

namespace {

class DragSource : public QWidget
{
public:
    DragSource()
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
        data->setUrls({QUrl::fromLocalFile(QStringLiteral("/etc/hostname"))});
        auto *drag = new QDrag(this);
        drag->setMimeData(data);
        drag->exec(Qt::CopyAction);
    }

private:
    QPoint m_pressedAt;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    DragSource source;
    source.show();
    return app.exec();
}
