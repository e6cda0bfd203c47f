// SPDX-License-Identifier: MIT
#pragma once

// An audit line in the compact form auditLine() writes, read in place, so
// that a long audit is checked without a JSON document built a line. The
// form: no whitespace; an object whose keys are letters, digits and
// underscores, each object's keys in ascending order (none twice); strings
// of printable ASCII without escapes; whole numbers from 0 of at most 15
// digits, without sign; true, false and null; as a member of the line's
// object, also an object of such values or an array of such strings.
// Every line of that form is JSON that Qt's reader takes to the very same
// values. A line in any other form, valid JSON or not, is refused here, and
// readAuditLine() hands it to Qt's reader, which decides what it is.
// The line read must outlive the CompactLine and the values taken from it.

#include "protocol/settingsjson.h"

#include <QByteArray>
#include <QLatin1String>
#include <QList>
#include <QString>

#include <array>
#include <optional>

class CompactLine;

// One value of a CompactLine, asked as a QJsonValue is.
class CompactValue
{
public:
    bool isUndefined() const { return !m_node; }
    bool isNull() const { return is(Type::Null); }
    bool isBool() const { return is(Type::Bool); }
    bool isDouble() const { return is(Type::Number); }
    bool isString() const { return is(Type::String); }
    bool isArray() const { return is(Type::Array); }
    bool isObject() const { return is(Type::Object); }
    bool toBool() const { return isBool() && m_node->number != 0; }
    double toDouble(double fallback = 0) const { return isDouble() ? m_node->number : fallback; }
    QString toString() const;

    // An object's settings as settingsFromJson() takes them; nothing when
    // this is not an object of settings.
    std::optional<SettingValues> settings() const;
    // An array's setting keys ("ip", "mac"); false when an item is none.
    // Anything but an array has no items.
    bool settingKeys(QList<Setting> *list) const;

private:
    friend class CompactLine;
    enum class Type : quint8 { Null, Bool, Number, String, Array, Object };
    struct Node {
        const char *key = nullptr;
        const char *text = nullptr; // a string's bytes, without its quotes
        int keySize = 0;
        int size = 0;   // a string's bytes; an object's members or an array's items
        int first = 0;  // an object's first member or an array's first item, among the line's inner nodes
        Type type = Type::Null;
        double number = 0; // a number; a boolean as 0 or 1
    };

    CompactValue(const CompactLine *line, const Node *node)
        : m_line(line)
        , m_node(node)
    {
    }
    bool is(Type type) const { return m_node && m_node->type == type; }

    const CompactLine *m_line = nullptr;
    const Node *m_node = nullptr;
};

class CompactLine
{
public:
    // False when the line is not in the compact form (which says nothing of
    // whether it is JSON).
    bool read(const QByteArray &line);
    // A member of the line's object; undefined when there is none.
    CompactValue value(QLatin1String key) const;

private:
    friend class CompactValue;
    using Node = CompactValue::Node;
    class Scanner;

    bool member(Scanner &scanner, Node *node, const Node *before);
    bool inner(Scanner &scanner, Node *node);

    // What an audit line holds, with room to spare; more is left to Qt.
    std::array<Node, 48> m_members;
    std::array<Node, 96> m_inner;
    int m_memberCount = 0;
    int m_innerCount = 0;
};
