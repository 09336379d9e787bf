// Drives the real window against korun-sim for a given number of refreshes and Stores,
// for leak checkers such as valgrind memcheck:
//   valgrind --leak-check=full build/bench/soak REFRESHES STORES
#include "mainwindow.h"
#include "sim_line.h"

#include <QApplication>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    const QStringList arguments = application.arguments();
    const int refreshes = arguments.value(1, QStringLiteral("100")).toInt();
    const int stores = arguments.value(2, QStringLiteral("10")).toInt();

    SimLine line;
    if (!line.start({"--channel", "1=TC_K@300", "--channel", "2=TR_100Pt:3@22", "--noise", "0.1"}))
        return 1;
    int failed = 0;
    {
        MainWindow window(true);
        window.findChild<QLineEdit *>(QStringLiteral("portEdit"))->setText(line.portName());
        window.findChild<QPushButton *>(QStringLiteral("connectBtn"))->click();
        for (int i = 0; i < refreshes; ++i)
            QMetaObject::invokeMethod(&window, "onTimerTimeout", Qt::DirectConnection);
        window.findChild<QPushButton *>(QStringLiteral("readBtn"))->click();
        auto *store = window.findChild<QPushButton *>(QStringLiteral("storeBtn"));
        for (int i = 0; i < stores; ++i)
            store->click();
        failed = window.findChild<QLineEdit *>(QStringLiteral("ch1Temp"))->text().isEmpty();
    }
    std::printf("%d refreshes, %d stores done%s\n", refreshes, stores, failed ? " (no temperature shown!)" : "");
    return failed;
}
