// SPDX-License-Identifier: MIT
#pragma once

// Unix signals as a Qt signal on the event loop. A signal handler may do
// next to nothing safely; this one writes the signal's number to a socket
// pair that the loop reads, so the program reacts in its own time (finish
// the module in hand, redraw the board) instead of inside the handler.

#include <QObject>

#include <initializer_list>

class QSocketNotifier;

class SignalWatch : public QObject
{
    Q_OBJECT

public:
    // Watches these signals for as long as the object lives; one watch per
    // process. Where the system has no such signals, nothing is watched.
    // Once the watch is gone the signals stay caught and come to nothing: a
    // program that has finished its work and decided its exit code is not
    // killed by a Ctrl-C that reaches it on its way out.
    explicit SignalWatch(std::initializer_list<int> numbers, QObject *parent = nullptr);

signals:
    void caught(int number);

private:
    void readPending();

    QSocketNotifier *m_notifier = nullptr;
};
