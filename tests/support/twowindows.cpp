// One process with two top-level windows, titled by its two arguments and shown in that order (the
// second above the first), for tests that must tell a window from its application.
#include <QApplication>
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
    second.show();
    return app.exec();
}
