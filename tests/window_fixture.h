#pragma once

// The real window, offscreen, connected to korun-sim over a virtual line.

#include "korun_mbproxy.h"
#include "mainwindow.h"
#include "sim_line.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <memory>

struct WindowFixture {
    SimLine line;
    QStringList texts;
    std::unique_ptr<MainWindow> window;

    explicit WindowFixture(bool proMode = true)
        : window(new MainWindow(proMode))
    {
        QObject::connect(proxy(), &Korun_MBProxy::msg4StatusBar, [this](const QString &text) { texts << text; });
    }

    Korun_MBProxy *proxy() const { return window->findChild<Korun_MBProxy *>(); }
    // The auto-update timer: the window's only direct child timer.
    QTimer *refreshTimer() const { return window->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly); }

    template <typename T = QWidget>
    T *widget(const QString &name) const
    {
        T *found = window->findChild<T *>(name);
        if (!found)
            qFatal("no widget %s", qPrintable(name));
        return found;
    }
    QString text(const QString &name) const { return widget<QLineEdit>(name)->text(); }
    QString channelText(int channel, const char *field) const
    {
        return text(QStringLiteral("ch%1%2").arg(channel).arg(QLatin1String(field)));
    }

    // Starts the simulator and connects through the window's own controls.
    bool connect(const QStringList &simArguments = {}, int selector = 0)
    {
        if (!line.start(simArguments))
            return false;
        widget<QLineEdit>("portEdit")->setText(line.portName());
        widget<QComboBox>("mbAddressOffset")->setCurrentIndex(selector);
        widget<QPushButton>("connectBtn")->click();
        texts.clear();
        line.clearRequests();
        return proxy()->isConnected();
    }

    void setAutoUpdate(bool on, double period = 0.5)
    {
        widget<QDoubleSpinBox>("autoUpdatePeriod")->setValue(period);
        widget<QCheckBox>("autoUpdateCheck")->setChecked(on);
    }

    // One refresh, exactly as a timer tick runs it.
    void refreshOnce() { QMetaObject::invokeMethod(window.get(), "onTimerTimeout", Qt::DirectConnection); }

    QString linkState() const { return widget<QLabel>("linkStateLabel")->text(); }
    // How many of the 22 value fields are marked stale.
    int staleFields() const
    {
        int stale = 0;
        for (const QLineEdit *field : window->findChildren<QLineEdit *>())
            stale += field->property("stale").toBool() ? 1 : 0;
        return stale;
    }
};

// The longest gap between the ticks of a fast timer: how long the window stopped answering.
class ResponsivenessProbe
{
public:
    ResponsivenessProbe()
    {
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            longest = std::max(longest, clock.restart());
        });
        clock.start();
        timer.start(5);
    }
    qint64 longestStallMs() const { return std::max(longest, clock.elapsed()); }

private:
    QTimer timer;
    QElapsedTimer clock;
    qint64 longest = 0;
};

// A window that waited for a silent module without its event loop would stall for all four
// tries of 200 ms; the margin keeps a busy machine from being taken for a frozen window.
constexpr qint64 stallLimitMs = 300;

inline int writesIn(const QVector<SimRequest> &requests)
{
    return int(std::count_if(requests.begin(), requests.end(), [](const SimRequest &r) { return r.function == 0x10; }));
}
