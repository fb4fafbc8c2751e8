// Кадролог: the program.
#include "kadrol.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv)
{
    QElapsedTimer started;
    started.start();
    QApplication app(argc, argv);
    if (!kadrol::startUp())
        return 1;
    // For the benchmark: report when the main window is on the screen, then end.
    if (qEnvironmentVariableIsSet("KADROL_STARTUP_PROBE"))
        QTimer::singleShot(0, &app, [&]() {
            std::printf("shown %lld\n", static_cast<long long>(started.elapsed()));
            std::fflush(stdout);
            QCoreApplication::quit();
        });
    const int status = app.exec();
    kadrol::shutDown();
    return status;
}
