// Opens a serial port the way the front end does and keeps it until killed, so that tests
// can find the port taken by another process.
#include <QCoreApplication>
#include <QSerialPort>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    if (argc != 2)
        return 2;
    QSerialPort port(QString::fromLocal8Bit(argv[1]));
    if (!port.open(QIODevice::ReadWrite))
        return 1;
    std::puts("holding");
    std::fflush(stdout);
    return application.exec();
}
