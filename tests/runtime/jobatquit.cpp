// Quits while a concurrent job is still at work, as the program does when the user quits during a
// scan. Prints what the job found of the application when it ended: the job must end before the
// application object goes, or it reads and writes what the quit has already freed.
#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <semaphore>
#include <thread>

#include "runtime/workqueue.h"

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    qv::ThreadQueueFactory factory;
    std::binary_semaphore started(0);
    factory.makeQueue("Quorvantis.Quit", qv::QueueKind::Concurrent)->async([&started] {
        started.release();
        std::this_thread::sleep_for(std::chrono::milliseconds(300)); // a long job
        std::puts(QCoreApplication::instance() ? "ended with the application" : "outlived the application");
        std::fflush(stdout);
    });
    started.acquire();
    return 0;
}
