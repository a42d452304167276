// The yardstick of bench/startup.sh: the least a Qt Widgets program does to
// show a window (one empty widget of the player's size, titled by its first
// argument). The player's cold start is printed as a multiple of this one's,
// measured in the same run.

#include <QApplication>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("bare"));
    window.resize(600, 450);
    window.show();
    return app.exec();
}
