// SPDX-License-Identifier: MIT
#pragma once

#include "sim/modulesimulator.h"
#include "sim/simline.h"

#include <QTextStream>

#include <memory>

// A line of modules on a pseudo-terminal of its own, in this process (link
// the test with vev_simulator). With a link path, the line is reached by
// that path, as a device by its /dev/serial/by-id name.
struct SimulatedLine {
    SimLine line;
    QString log;
    QTextStream logStream {&log};
    std::unique_ptr<ModuleSimulator> modules;

    explicit SimulatedLine(ModuleSimulator::Options options, const QString &link = {})
    {
        QString error;
        if (line.openPseudoTerminal(&error) && (link.isEmpty() || line.makeLink(link, &error)))
            modules = std::make_unique<ModuleSimulator>(line.fd(), options, ModuleSimulator::defaultSettings(), logStream);
    }
};
