// SPDX-License-Identifier: MIT
#pragma once

// What vev-cli's commands and the provisioning station end with: one list
// for both, so a script reads the same number for the same outcome. The
// list below is the only place the codes are written; --help prints it.

#include <QMetaType>
#include <QString>

#include <array>

enum class ExitCode {
    Ok = 0,
    Failure = 1,
    Usage = 2,
    NoAnswer = 3,
    NotAcknowledged = 4,
    PortNotFound = 5,
    PortBusy = 6,
    PortPermission = 7,
    PortError = 8,
    ReadBackDiffers = 9,
    AuditBroken = 10,
    AlreadyProvisioned = 11,
    Held = 12,
    LabelNotPrinted = 13,
    NotInAudit = 14,
    Conflict = 15,
    FilesChanged = 16,
    RowOnTwoModules = 17,
    SendToRework = 18,
};

struct ExitCodeMeaning {
    ExitCode code;
    const char *meaning;
};

inline constexpr std::array<ExitCodeMeaning, 19> exitCodeMeanings = {{
    {ExitCode::Ok, "success"},
    {ExitCode::Failure, "other error: a file that cannot be read, output that cannot be written, an audit that "
                        "cannot be written, a database that cannot be reached or refuses the record"},
    {ExitCode::Usage, "bad command line, or a value or plan that fails its check (nothing was sent)"},
    {ExitCode::NoAnswer, "the module sent no setting within --timeout (read), no module answered (find), or a "
                         "lane saw no module (provision --once)"},
    {ExitCode::NotAcknowledged, "a setting was not acknowledged, or a module did not answer its writes"},
    {ExitCode::PortNotFound, "the port does not exist"},
    {ExitCode::PortBusy, "the port is in use by another program"},
    {ExitCode::PortPermission, "permission to open the port was refused"},
    {ExitCode::PortError, "the port could not be opened for another reason, or was lost"},
    {ExitCode::ReadBackDiffers, "a setting reads back different from what was written, or not at all; "
                                "provision: a row failed"},
    {ExitCode::AuditBroken, "audit-verify: a line was changed, removed or inserted, a record is malformed, or the "
                            "audit does not end at --last"},
    {ExitCode::AlreadyProvisioned, "provision: a module already carries a row recorded as passed (nothing was sent "
                                   "to it)"},
    {ExitCode::Held, "the plan or the audit is held by another run, or the station's name by a running station"},
    {ExitCode::LabelNotPrinted, "a label was not printed: a file that cannot be written, a printer that does not "
                                "answer, drops the connection or refuses the job; provision: a module passed but its "
                                "label was not printed, or the label target cannot be used (nothing was sent)"},
    {ExitCode::NotInAudit, "label --audit: the audit records no passed module for that row or MAC address"},
    {ExitCode::Conflict, "provision: a module carries part of a row it may not be given, its serial number passed "
                         "with another row, or its row passed on another serial (nothing was written to it)"},
    {ExitCode::FilesChanged, "provision: the plan or the audit changed under the running run (replaced, truncated, "
                             "or written by another program); nothing more was sent"},
    {ExitCode::RowOnTwoModules, "a row was found on two modules"},
    {ExitCode::SendToRework, "provision: a unit has had --max-attempts attempts and goes to rework (nothing was "
                             "written to it)"},
}};

constexpr int toInt(ExitCode code)
{
    return static_cast<int>(code);
}

// The list as --help shows it: "  0  success", one code a line, long
// meanings wrapped under their text.
QString exitCodeHelp();
// One entry of such a list: lead ("  0", a code padded to its column),
// then the meaning, wrapped under itself.
QString helpEntry(const QString &lead, const char *meaning);

Q_DECLARE_METATYPE(ExitCode)
