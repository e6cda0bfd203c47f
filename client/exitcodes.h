// SPDX-License-Identifier: MIT
#pragma once

// What vev-cli's commands and the provisioning station end with: one list
// for both, so a script reads the same number for the same outcome.

#include "serial/portaccess.h"

enum ExitCode {
    Ok = 0,
    Failure = 1,       // anything else: a file that cannot be read, output that cannot be written
    Usage = 2,         // bad command line or a value that fails its check
    NoAnswer = 3,
    NotAcknowledged = 4,
    PortNotFound = 5,
    PortBusy = 6,
    PortPermission = 7,
    PortError = 8,     // could not be opened for another reason, or lost
    ReadBackDiffers = 9,
    AuditBroken = 10,
    LabelNotPrinted = 13, // a label could not be made or the printer did not take it
};

inline int exitCodeFor(OpenFailure failure)
{
    switch (failure) {
    case OpenFailure::None: return Ok;
    case OpenFailure::NotFound: return PortNotFound;
    case OpenFailure::Busy: return PortBusy;
    case OpenFailure::PermissionDenied: return PortPermission;
    case OpenFailure::Other: break;
    }
    return PortError;
}
