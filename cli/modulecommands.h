// SPDX-License-Identifier: MIT
#pragma once

// vev-cli's commands for one module at a time: read, write, list, find.

#include "output.h"

#include "protocol/settingsjson.h"

#include <QStringList>

#include <chrono>

namespace cli {

void runRead(const QString &port, std::chrono::milliseconds timeout, bool json, const Done &done);
void runWrite(const QString &port, const SettingValues &values, std::chrono::milliseconds timeout, bool verify,
              const Done &done);
ExitCode runList();
void runFind(const QStringList &extraPorts, std::chrono::milliseconds timeout, const Done &done);

} // namespace cli
