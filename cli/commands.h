// SPDX-License-Identifier: MIT
#pragma once

// vev-cli's commands. Each runs on the event loop and hands its exit code
// to done() when it has finished.

#include "client/exitcodes.h"
#include "protocol/settingsjson.h"
#include "station/station.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <chrono>
#include <functional>


using Done = std::function<void(int code)>;

QTextStream &out();
QTextStream &err();
int fail(int code, const QString &message);

// Device text for a terminal: control characters escaped, so a value cannot
// forge a line or send escape sequences.
QString printable(const QString &text);

// Flushes the output; Failure if it could not all be written (a full disk,
// a closed stdout), else code.
int finishOutput(int code);

void runRead(const QString &port, std::chrono::milliseconds timeout, bool json, const Done &done);
void runWrite(const QString &port, const SettingValues &values, std::chrono::milliseconds timeout, bool verify,
              const Done &done);
void runFind(const QStringList &extraPorts, std::chrono::milliseconds timeout, const Done &done);

// Provisions modules by the plan until it is used up (or each lane has
// handled one module, with once); SIGINT and SIGTERM end it cleanly.
void runProvision(const Station::Options &options, const Done &done);

// Checks an audit trail's chain: the line count, or the first bad line.
int runAuditVerify(const QString &path);
