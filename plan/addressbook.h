// SPDX-License-Identifier: MIT
#pragma once

// The IP and MAC addresses a plan has given so far, each with the line it
// stands on, in a few bytes each: a plan of a million rows is checked for
// an address given twice without holding a string for each.

#include "protocol/wireformat.h"

#include <QHash>
#include <QString>

#include <vector>

class AddressBook
{
public:
    // The line an address (in its canonical form) already stands on, or 0
    // once it is kept as standing on line.
    int add(Setting setting, const QString &canonical, int line);

private:
    void grow();
    int place(quint64 key) const;

    std::vector<quint64> m_keys; // 0: an empty place
    std::vector<int> m_lines;
    std::size_t m_used = 0;
    int m_shift = 64; // 64 less the bits of a place's index
    // Addresses in any other form than the packed ones, by setting and text.
    QHash<QString, int> m_others;
};
