// SPDX-License-Identifier: MIT
#include "plan/compactline.h"

#include <cstring>

namespace {

// The bytes a key holds (letters, digits, underscores), and those a string
// holds as themselves (printable ASCII but for quotes and backslashes),
// looked up a byte at a time.
struct ByteClasses {
    std::array<bool, 256> key {};
    std::array<bool, 256> plain {};
    ByteClasses()
    {
        for (int c = 0; c < 256; ++c) {
            key[std::size_t(c)] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
            plain[std::size_t(c)] = c >= 0x20 && c <= 0x7e && c != '"' && c != '\\';
        }
    }
};
const ByteClasses byteClasses;

bool sameKey(const char *a, int aSize, const char *b, int bSize)
{
    if (aSize != bSize)
        return false;
    for (int i = 0; i < aSize; ++i) {
        if (a[i] != b[i])
            return false;
    }
    return true;
}

} // namespace

class CompactLine::Scanner
{
public:
    Scanner(const char *begin, const char *end)
        : m_at(begin)
        , m_end(end)
    {
    }

    bool atEnd() const { return m_at == m_end; }
    bool next(char c) const { return m_at < m_end && *m_at == c; }
    bool take(char c)
    {
        if (!next(c))
            return false;
        ++m_at;
        return true;
    }

    // A quoted string of plain bytes; a key: of key bytes, at least one.
    bool string(bool key, const char **text, int *size)
    {
        if (!take('"'))
            return false;
        const char *begin = m_at;
        const std::array<bool, 256> &takes = key ? byteClasses.key : byteClasses.plain;
        while (m_at < m_end && takes[static_cast<unsigned char>(*m_at)])
            ++m_at;
        *text = begin;
        *size = int(m_at - begin);
        return take('"') && (!key || *size > 0);
    }

    // A key, its colon, and the check that it comes after the one before.
    bool key(Node *node, const Node *before)
    {
        if (!string(true, &node->key, &node->keySize) || !take(':'))
            return false;
        if (!before)
            return true;
        const int common = std::min(before->keySize, node->keySize);
        const int order = std::memcmp(before->key, node->key, size_t(common));
        return order < 0 || (order == 0 && before->keySize < node->keySize);
    }

    // A string, a whole number, true, false or null.
    bool scalar(Node *node)
    {
        if (next('"')) {
            node->type = Type::String;
            return string(false, &node->text, &node->size);
        }
        if (m_at < m_end && *m_at >= '0' && *m_at <= '9') {
            // 0 alone, else up to 15 digits: exact as a double. What
            // follows must end the value (a comma, a bracket), or the line
            // is not of the form.
            node->type = Type::Number;
            node->number = 0;
            const char *begin = m_at;
            do {
                node->number = node->number * 10 + (*m_at++ - '0');
            } while (*begin != '0' && m_at < m_end && m_at - begin < 15 && *m_at >= '0' && *m_at <= '9');
            return true;
        }
        static const struct {
            const char *text;
            std::size_t size;
            Type type;
            double number;
        } words[] = {{"true", 4, Type::Bool, 1}, {"false", 5, Type::Bool, 0}, {"null", 4, Type::Null, 0}};
        for (const auto &word : words) {
            const std::size_t size = word.size;
            if (std::size_t(m_end - m_at) >= size && std::memcmp(m_at, word.text, size) == 0) {
                m_at += size;
                node->type = word.type;
                node->number = word.number;
                return true;
            }
        }
        return false;
    }

private:
    using Type = CompactValue::Type;
    const char *m_at;
    const char *m_end;
};

bool CompactLine::read(const QByteArray &line)
{
    Scanner scanner(line.constData(), line.constData() + line.size());
    m_memberCount = 0;
    m_innerCount = 0;
    if (!scanner.take('{'))
        return false;
    if (scanner.take('}'))
        return scanner.atEnd();
    do {
        if (m_memberCount == int(m_members.size()))
            return false;
        Node *node = &m_members[std::size_t(m_memberCount)];
        if (!member(scanner, node, m_memberCount > 0 ? node - 1 : nullptr))
            return false;
        ++m_memberCount;
    } while (scanner.take(','));
    return scanner.take('}') && scanner.atEnd();
}

// A member of the line's object: a scalar, or an object or array of them.
bool CompactLine::member(Scanner &scanner, Node *node, const Node *before)
{
    if (!scanner.key(node, before))
        return false;
    const bool object = scanner.next('{');
    if (!object && !scanner.next('['))
        return scanner.scalar(node);
    scanner.take(object ? '{' : '[');
    node->type = object ? CompactValue::Type::Object : CompactValue::Type::Array;
    node->first = m_innerCount;
    node->size = 0;
    if (scanner.take(object ? '}' : ']'))
        return true;
    do {
        if (m_innerCount == int(m_inner.size()))
            return false;
        Node *item = &m_inner[std::size_t(m_innerCount)];
        const bool read = object ? scanner.key(item, node->size > 0 ? item - 1 : nullptr) && scanner.scalar(item)
                                 : scanner.next('"') && scanner.scalar(item);
        if (!read)
            return false;
        ++m_innerCount;
        ++node->size;
    } while (scanner.take(','));
    return scanner.take(object ? '}' : ']');
}

CompactValue CompactLine::value(QLatin1String key) const
{
    for (int i = 0; i < m_memberCount; ++i) {
        const Node &node = m_members[std::size_t(i)];
        if (sameKey(node.key, node.keySize, key.data(), key.size()))
            return CompactValue(this, &node);
    }
    return CompactValue(this, nullptr);
}

QString CompactValue::toString() const
{
    return isString() ? QString::fromLatin1(m_node->text, m_node->size) : QString();
}

std::optional<SettingValues> CompactValue::settings() const
{
    if (!isObject())
        return std::nullopt;
    static const auto keys = [] {
        std::array<QLatin1String, allSettings.size()> keys {};
        for (const Setting s : allSettings)
            keys[std::size_t(s)] = QLatin1String(settingInfo(s).key);
        return keys;
    }();
    SettingValues values;
    for (int i = 0; i < m_node->size; ++i) {
        const Node &member = m_line->m_inner[std::size_t(m_node->first + i)];
        std::optional<Setting> setting;
        for (const Setting s : allSettings) {
            const QLatin1String &key = keys[std::size_t(s)];
            if (sameKey(member.key, member.keySize, key.data(), key.size()))
                setting = s;
        }
        if (!setting || (member.type != Type::Null && member.type != Type::String))
            return std::nullopt;
        if (member.type == Type::String)
            valueOf(values, *setting) = QString::fromLatin1(member.text, member.size);
    }
    return values;
}

bool CompactValue::settingKeys(QList<Setting> *list) const
{
    if (!isArray())
        return true;
    for (int i = 0; i < m_node->size; ++i) {
        const CompactValue item(m_line, &m_line->m_inner[std::size_t(m_node->first + i)]);
        const auto setting = settingForKey(item.toString());
        if (!setting)
            return false;
        *list << *setting;
    }
    return true;
}
