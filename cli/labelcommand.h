// SPDX-License-Identifier: MIT
#pragma once

// vev-cli label: one module's label, from values given on the command line,
// to a PDF file, a ZPL printer or a CUPS printer.

#include "commands.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <memory>

// The application object: labels are drawn, so the label command gets Qt
// GUI on the offscreen platform (no display needed, over SSH too); every
// other command stays on QtCore alone.
std::unique_ptr<QCoreApplication> createApplication(int &argc, char **argv);

// Reads the label's options from the parser, checks them like write does
// (exit 2, nothing printed), prints and hands done() the exit code.
void runLabel(const QCommandLineParser &parser, const Done &done);
