#include "adapter_latency.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_LINUX
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

QString lowerAdapterLatency(int fd, const QString &portName, const QString &sysfsRoot)
{
#ifdef Q_OS_LINUX
    serial_struct serial{};
    if (fd >= 0 && ioctl(fd, TIOCGSERIAL, &serial) == 0 && !(serial.flags & ASYNC_LOW_LATENCY)) {
        serial.flags |= ASYNC_LOW_LATENCY;
        ioctl(fd, TIOCSSERIAL, &serial); // refused by some drivers: the tick below tells
    }
#else
    Q_UNUSED(fd);
#endif
    // /dev/serial/by-id/... names are links to the ttyUSBn the kernel knows.
    const QFileInfo port(portName);
    const QString device = QFileInfo(port.canonicalFilePath().isEmpty() ? portName : port.canonicalFilePath()).fileName();
    QFile timer(sysfsRoot + QStringLiteral("/class/tty/") + device + QStringLiteral("/device/latency_timer"));
    if (!timer.open(QIODevice::ReadOnly))
        return QString();
    bool ok = false;
    const int tickMs = timer.readAll().trimmed().toInt(&ok);
    if (!ok || tickMs <= 1)
        return QString();
    return QStringLiteral("the USB adapter %1 hands replies over every %2 ms (its latency timer), which every request "
                          "waits for; set it to 1 ms: echo 1 | sudo tee %3 (or a udev rule with ATTR{latency_timer}=\"1\")")
        .arg(portName)
        .arg(tickMs)
        .arg(timer.fileName());
}
