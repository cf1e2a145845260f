// A small window that accepts file drops with Qt's drag and drop, as a file manager's folder window
// would: each drop is taken as a copy and its addresses are printed, one a line. The x11 tests drop
// onto it through XTEST like a person would.
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include <cstdio>

namespace {

class DropTarget : public QWidget
{
public:
    DropTarget()
    {
        setWindowTitle(QStringLiteral("qv-drop-target"));
        setAcceptDrops(true);
        resize(300, 300);
    }

protected:
    void dragEnterEvent(QDragEnterEvent *event) override
    {
        if (event->mimeData()->hasUrls())
            event->acceptProposedAction();
    }
    void dragMoveEvent(QDragMoveEvent *event) override { event->acceptProposedAction(); }
    void dropEvent(QDropEvent *event) override
    {
        for (const QUrl &url : event->mimeData()->urls())
            std::printf("%s\n", url.toString().toUtf8().constData());
        std::fflush(stdout);
        event->setDropAction(Qt::CopyAction);
        event->accept();
    }
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    DropTarget target;
    target.move(argc > 2 ? QString::fromLocal8Bit(argv[1]).toInt() : 600,
                argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 100);
    target.show();
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}
