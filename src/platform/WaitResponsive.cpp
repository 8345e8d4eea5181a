#include "WaitResponsive.h"

#include <QCoreApplication>
#include <QThread>

void waitResponsive(int ms)
{
    for (int i = 0; i < ms / 10; ++i) {
        QThread::msleep(10);
        QCoreApplication::processEvents();
    }
}
