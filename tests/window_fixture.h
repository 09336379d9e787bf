#pragma once

// The real window, offscreen, connected to korun-sim over a virtual line.

#include "korun_mbproxy.h"
#include "mainwindow.h"
#include "sim_line.h"

#include <QCheckBox>
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
};
