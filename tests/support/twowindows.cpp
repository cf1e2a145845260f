// One process with two top-level windows, titled by its two arguments and shown in that order (the
// second above the first), for tests that must tell a window from its application. A third argument
// shows the second window that many milliseconds later, as an application opens a new window.
#include <QApplication>
#include <QTimer>
#include <QWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 3)
        return 2;
    QWidget first;
    first.setWindowTitle(QString::fromLocal8Bit(argv[1]));
    first.setGeometry(60, 60, 400, 300);
    first.show();
    QWidget second;
    second.setWindowTitle(QString::fromLocal8Bit(argv[2]));
    second.setGeometry(200, 120, 400, 300);
    QTimer::singleShot(argc > 3 ? QByteArray(argv[3]).toInt() : 0, &second, &QWidget::show);
    return app.exec();
}
