#include "command_line.h"
#include "mainwindow.h"

#include <QApplication>

#include <cstdio>
#include <exception>

int main(int argc, char *argv[])
{
    // Before QApplication, which would refuse to start without a display.
    switch (textRequested(argc, argv)) {
    case TextRequest::Help:
        std::fputs(frontendUsage, stdout);
        return 0;
    case TextRequest::Version:
        std::printf("korun-frontend %s\n", KORUN_VERSION);
        return 0;
    case TextRequest::None:
        break;
    }
    try {
        QApplication application(argc, argv);
        MainWindow window(proModeRequested(QCoreApplication::arguments()));
        // Below the layout's minimum, so the window opens at its smallest tidy size.
        window.resize(100, 100);
        window.show();
        return application.exec();
    } catch (const std::exception &error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
}
