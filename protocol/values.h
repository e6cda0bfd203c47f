#pragma once

// What a sound setting value looks like, and the addresses that Auto mode
// derives from the computer's own.

#include "wireformat.h"

#include <QString>

// A regular expression that a whole value must match: four numbers 0-255
// joined by single dots; a port 0-65535; twelve hex digits, bare or as six
// pairs joined by ":" or "-". Used both for the typing validators and for
// the check before a write.
QString valuePattern(Setting setting);

bool isValidValue(Setting setting, const QString &value);

// The gateway the computer's network most likely uses: the first three
// fields of the address followed by ".1", whatever the mask.
QString gatewayFor(const QString &hostIp);

// The address Auto mode gives the module: the computer's address with its
// last field raised by one, capped at 255. A last field that is not a
// number counts as 0.
QString nextAddress(const QString &hostIp);
