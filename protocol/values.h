// SPDX-License-Identifier: MIT
#pragma once

// What a sound setting value looks like, which values no device can use,
// and the addresses that Auto mode derives from the computer's own.

#include "protocol/wireformat.h"

#include <QString>

#include <array>
#include <optional>

// A regular expression that a whole value must match: four numbers 0-255
// joined by single dots; a port 0-65535; twelve hex digits, bare or as six
// pairs joined by ":" or "-". Used both for the typing validators and for
// the check before a write.
QString valuePattern(Setting setting);

bool isValidValue(Setting setting, const QString &value);

// Why a well-shaped value is still of no use to a module on a LAN: a MAC
// address with the group bit set, all zeros or all ones; an address in
// 0.0.0.0/8, 127.0.0.0/8, 224.0.0.0/4 or 240.0.0.0/4. Empty when usable.
QString unusableReason(Setting setting, const QString &value);

// The first value of a write that must not be sent, and why: a bad shape
// ("" reason), an unusable value, or an IP address equal to the gateway.
// The values are IP, gateway, port and MAC, each possibly absent.
struct ValueProblem {
    Setting setting;
    QString value;
    QString reason; // empty for a value of the wrong shape
};
std::optional<ValueProblem> checkValues(const std::array<std::optional<QString>, allSettings.size()> &values);

// One spelling per value, for comparing what was written with what reads
// back: addresses and ports as numbers, a MAC address as upper-case pairs
// joined by ":". A value of the wrong shape is returned as it is.
QString canonicalValue(Setting setting, const QString &value);

// Why an IP address is the network (.0) or broadcast (.255) address of its
// /24, or nothing. Many networks are a /24; on a larger one these addresses
// are ordinary, so callers let the operator override this.
QString slash24EdgeReason(const QString &ip);

// Why the values must not be written, or nothing: the value rules every
// device needs, and an IP address on the edge of its /24 unless forced.
// Values shown in the reason are quoted and escaped.
std::optional<QString> refuseToWrite(const std::array<std::optional<QString>, allSettings.size()> &values,
                                     bool force);

// The gateway the computer's network most likely uses: the first three
// fields of the address followed by ".1", whatever the mask.
QString gatewayFor(const QString &hostIp);

// The address Auto mode gives the module: the computer's address with its
// last field raised by one, capped at 255. A last field that is not a
// number counts as 0.
QString nextAddress(const QString &hostIp);

// Auto mode's IP address and gateway for a module, from the computer's
// address and gateway; error says why there are none: no address to derive
// from, or a derived address that is the network or broadcast address of
// its /24, the computer's own, or the gateway.
struct AutoAddress {
    QString ip;
    QString gateway;
    QString error;
};
AutoAddress deriveAutoAddress(const QString &hostIp, const QString &hostGateway);
