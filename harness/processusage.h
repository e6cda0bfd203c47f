// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

#include <sys/resource.h>

// CPU time and resident memory of this process, for tests that must show a
// loss or a flood costs little.
inline qint64 cpuTimeMs()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000
           + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

// CPU time of another running process, in ms; -1 if unknown.
qint64 processCpuMs(qint64 pid);

// Resident memory of a process, this one by default; -1 if unknown.
qint64 residentKiB(qint64 pid = 0);
