#pragma once

// A proxy connected to korun-sim over a virtual line, with its status texts recorded.

#include "korun_mbproxy.h"
#include "link_settings.h"
#include "sim_line.h"

#include <QSignalSpy>
#include <QStringList>

#include <memory>

// The link settings the window's Connect applies, then the port opened.
inline bool connectLikeTheWindow(Korun_MBProxy &proxy, const QString &port, int selector = 0)
{
    configureLink(proxy, port, selector);
    return proxy.connectDevice() && proxy.isConnected();
}

class TestProxy : public Korun_MBProxy
{
public:
    using QModbusDevice::setError;
    using QModbusDevice::setState;
};

struct ProxyFixture {
    SimLine line;
    QStringList texts; // outlives the proxy, which reports its closing on destruction
    TestProxy proxy;

    ProxyFixture()
    {
        QObject::connect(&proxy, &Korun_MBProxy::msg4StatusBar, [this](const QString &text) { texts << text; });
    }

    // Starts the simulator and opens the link the way the window's Connect does.
    bool open(const QStringList &simArguments = {}, int selector = 0)
    {
        if (!line.start(simArguments))
            return false;
        const bool opened = connectLikeTheWindow(proxy, line.portName(), selector);
        texts.clear();
        line.clearRequests();
        return opened;
    }
};
