#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Velmora"));
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Velmora V2.0b"));
    window.show();
    return app.exec();
}
