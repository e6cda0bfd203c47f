// SPDX-License-Identifier: MIT
#include "host/signalwatch.h"

#include <QSocketNotifier>

#include <csignal>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int wakeUp[2] = {-1, -1};

void onSignal(int number)
{
    const auto byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const auto ignored = ::write(wakeUp[1], &byte, 1);
}

} // namespace
#endif

SignalWatch::SignalWatch(std::initializer_list<int> numbers, QObject *parent)
    : QObject(parent)
{
#ifdef Q_OS_UNIX
    if (wakeUp[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, wakeUp) != 0)
        return;
    // The handler must never block, whatever piles up.
    ::fcntl(wakeUp[1], F_SETFL, ::fcntl(wakeUp[1], F_GETFL) | O_NONBLOCK);
    ::fcntl(wakeUp[0], F_SETFL, ::fcntl(wakeUp[0], F_GETFL) | O_NONBLOCK);
    m_notifier = new QSocketNotifier(wakeUp[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalWatch::readPending);
    for (const int number : numbers) {
        struct sigaction action {};
        action.sa_handler = onSignal;
        ::sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(number, &action, nullptr);
    }
#else
    Q_UNUSED(numbers)
#endif
}

void SignalWatch::readPending()
{
#ifdef Q_OS_UNIX
    unsigned char bytes[64];
    ssize_t n;
    while ((n = ::read(wakeUp[0], bytes, sizeof bytes)) > 0) {
        for (ssize_t i = 0; i < n; ++i)
            emit caught(bytes[i]);
    }
#endif
}
