// SPDX-License-Identifier: MIT
#pragma once

// What the checks of vev-cli's commands share (commandline.cpp and the
// files beside it): a command's arguments once read, and its refusal.

#include "commandline.h"
#include "options.h"

#include <QCommandLineParser>

#include <algorithm>
#include <optional>

namespace cli {

// Why a command line is not run, and the code it ends with.
struct Refusal {
    ExitCode code = ExitCode::Ok;
    QString why;
};

// A command's arguments once its own options have been read. An option the
// command does not take reads as not given.
struct Args {
    QString command;
    const QCommandLineParser &parser;
    QStringList files;
    const QList<QCommandLineOption> &taken;

    bool takes(const QCommandLineOption &option) const
    {
        return std::any_of(taken.begin(), taken.end(),
                           [&option](const QCommandLineOption &o) { return o.names() == option.names(); });
    }
    bool isSet(const QCommandLineOption &option) const { return takes(option) && parser.isSet(option); }
    QStringList ports() const { return takes(options().port) ? parser.values(options().port) : QStringList(); }
    QString value(const QCommandLineOption &option) const
    {
        return takes(option) ? parser.value(option) : option.defaultValues().value(0);
    }
    std::optional<QString> given(const QCommandLineOption &option) const
    {
        return isSet(option) ? std::optional<QString>(value(option)) : std::nullopt;
    }
};

inline Run refuse(Refusal *refusal, const QString &why, ExitCode code = ExitCode::Usage)
{
    *refusal = {code, why};
    return {};
}

template<typename T>
inline std::optional<T> refused(Refusal *refusal, const QString &why, ExitCode code = ExitCode::Usage)
{
    *refusal = {code, why};
    return std::nullopt;
}

} // namespace cli
