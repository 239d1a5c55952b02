// The smallest Qt widgets program with a window of the main window's size: the floor that
// bench/run holds rzl-ctrl's idle CPU and memory against.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(313, 476);
    window.show();
    return app.exec();
}
