// SPDX-License-Identifier: MIT
#include "plan/plan.h"

#include "protocol/values.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

namespace {

// Room for a plan of a million rows and more (about 45 MB).
constexpr qint64 largestPlan = 128 * 1024 * 1024;

// The plan's column for each setting. Spreadsheets write headers as people
// type them: "IP", "TCP port", "Tcp_Port" are all taken.
std::optional<Setting> settingForColumn(const QString &header)
{
    const QString name = header.trimmed().toLower().replace(QLatin1Char(' '), QLatin1Char('_'));
    if (name == QLatin1String("tcp_port"))
        return Setting::Port;
    if (name == QLatin1String("port"))
        return std::nullopt; // "tcp_port" in a plan, so it is not taken for the serial port
    return settingForKey(name);
}

// The line a byte offset stands on, 1-based.
int lineAt(const QByteArray &bytes, qsizetype offset)
{
    return int(QByteArray::fromRawData(bytes.constData(), int(offset)).count('\n')) + 1;
}

// Text a spreadsheet or an editor saved in a form this reader would misread.
std::optional<QString> encodingProblem(const QByteArray &csv)
{
    if (csv.startsWith("\xff\xfe") || csv.startsWith("\xfe\xff")
        || (csv.size() >= 4 && ((csv.at(0) == 0) != (csv.at(1) == 0)) && ((csv.at(2) == 0) != (csv.at(3) == 0)))) {
        return QStringLiteral("is UTF-16 text; save it as UTF-8 (or plain ASCII) CSV");
    }
    const qsizetype nul = csv.indexOf('\0');
    if (nul >= 0)
        return QStringLiteral("line %1: a NUL byte; a plan is text").arg(lineAt(csv, nul));
    if (csv.contains('\r') && !csv.contains('\n') && csv.indexOf('\r') + 1 < csv.size())
        return QStringLiteral("has lines ending in CR alone (an old Mac format); save it with LF or CR LF line ends");
    return std::nullopt;
}

// The header decides the separator: a semicolon where the header has one
// and no comma (spreadsheets in many locales write those), else a comma.
QChar separatorOf(const QString &text)
{
    const QString header = text.left(text.indexOf(QLatin1Char('\n')));
    return header.contains(QLatin1Char(';')) && !header.contains(QLatin1Char(',')) ? QLatin1Char(';')
                                                                                     : QLatin1Char(',');
}

} // namespace

std::optional<QList<CsvRecord>> parseCsv(const QByteArray &csv, QString *error)
{
    QString text = QString::fromUtf8(csv);
    if (text.startsWith(QChar(0xfeff)))
        text.remove(0, 1); // the byte order mark spreadsheets put before UTF-8
    const QChar separator = separatorOf(text);
    QList<CsvRecord> records;
    CsvRecord record {1, {}};
    QString field;
    bool quoted = false;
    bool fieldStarted = false;
    int line = 1;
    const auto endField = [&] {
        record.fields << field;
        field.clear();
        fieldStarted = false;
    };
    const auto endRecord = [&] {
        endField();
        if (!(record.fields.size() == 1 && record.fields.first().isEmpty()))
            records << record; // blank lines are skipped
        record = CsvRecord {line, {}};
    };
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                field += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                if (c == QLatin1Char('\n'))
                    ++line;
                field += c;
            }
        } else if (c == QLatin1Char('"') && !fieldStarted) {
            quoted = true;
            fieldStarted = true;
        } else if (c == separator) {
            endField();
        } else if (c == QLatin1Char('\n')) {
            ++line;
            endRecord();
        } else if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n')) {
            continue;
        } else if (c == QLatin1Char('"')) {
            *error = QStringLiteral("line %1: a quote inside an unquoted field").arg(line);
            return std::nullopt;
        } else {
            // The plain run of the field at once, not a character at a time.
            int end = i + 1;
            while (end < text.size()) {
                const QChar next = text.at(end);
                if (next == separator || next == QLatin1Char('\n') || next == QLatin1Char('\r') || next == QLatin1Char('"'))
                    break;
                ++end;
            }
            field += QStringView(text).mid(i, end - i);
            i = end - 1;
            fieldStarted = true;
        }
    }
    if (quoted) {
        *error = QStringLiteral("line %1: a quoted field is not closed").arg(record.line);
        return std::nullopt;
    }
    if (!field.isEmpty() || !record.fields.isEmpty())
        endRecord();
    return records;
}

std::optional<QList<PlanRow>> parsePlan(const QByteArray &csv, QString *error, bool force)
{
    if (const auto problem = encodingProblem(csv)) {
        *error = *problem;
        return std::nullopt;
    }
    const auto records = parseCsv(csv, error);
    if (!records)
        return std::nullopt;
    if (records->isEmpty()) {
        *error = QStringLiteral("the plan is empty: a header line ip,gateway,tcp_port,mac comes first");
        return std::nullopt;
    }

    // The header: each of the four columns once, nothing else.
    const CsvRecord &header = records->first();
    std::array<int, allSettings.size()> column;
    column.fill(-1);
    for (int i = 0; i < header.fields.size(); ++i) {
        const QString name = header.fields.at(i).trimmed();
        const auto setting = settingForColumn(name);
        if (!setting || column[std::size_t(*setting)] >= 0) {
            *error = QStringLiteral("line %1: column \"%2\" is %3; the columns are ip, gateway, tcp_port and mac")
                         .arg(header.line)
                         .arg(printable(name), setting ? QStringLiteral("given twice") : QStringLiteral("unknown"));
            return std::nullopt;
        }
        column[std::size_t(*setting)] = i;
    }
    for (Setting setting : allSettings) {
        if (column[std::size_t(setting)] < 0) {
            *error = QStringLiteral("line %1: the header has no column %2").arg(header.line)
                         .arg(setting == Setting::Port ? QStringLiteral("tcp_port") : QLatin1String(settingInfo(setting).key));
            return std::nullopt;
        }
    }

    QList<PlanRow> rows;
    QHash<QString, int> ips;
    QHash<QString, int> macs;
    rows.reserve(int(records->size()));
    ips.reserve(int(records->size()));
    macs.reserve(int(records->size()));
    for (int r = 1; r < records->size(); ++r) {
        const CsvRecord &record = records->at(r);
        if (record.fields.size() != header.fields.size()) {
            *error = QStringLiteral("line %1: %2 fields where the header has %3")
                         .arg(record.line).arg(record.fields.size()).arg(header.fields.size());
            return std::nullopt;
        }
        PlanRow row {int(rows.size()) + 1, record.line, {}};
        for (Setting setting : allSettings)
            valueOf(row.values, setting) = record.fields.at(column[std::size_t(setting)]).trimmed();
        // The rules write applies, --force included: a plan is many writes.
        if (const auto refusal = refuseToWrite(row.values, force)) {
            *error = QStringLiteral("line %1: %2").arg(record.line).arg(*refusal);
            return std::nullopt;
        }
        // Two modules with one address would fight over it on the network.
        for (auto [setting, seen] : {std::pair {Setting::IpAddress, &ips}, std::pair {Setting::MacAddress, &macs}}) {
            const QString key = canonicalValue(setting, *valueOf(row.values, setting));
            const auto found = seen->constFind(key);
            if (found != seen->constEnd()) {
                *error = QStringLiteral("line %1: %2 \"%3\" is already on line %4").arg(record.line)
                             .arg(QLatin1String(settingInfo(setting).name), key).arg(found.value());
                return std::nullopt;
            }
            seen->insert(key, record.line);
        }
        rows << std::move(row);
    }
    return rows;
}

std::optional<QList<PlanRow>> readPlan(const QString &path, QString *error, bool force)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, QFileInfo(path).exists() ? file.errorString()
                                                                                          : QStringLiteral("no such file"));
        return std::nullopt;
    }
    const QByteArray csv = file.read(largestPlan + 1);
    if (csv.size() > largestPlan) {
        *error = QStringLiteral("%1 is larger than %2 bytes").arg(path).arg(largestPlan);
        return std::nullopt;
    }
    QString why;
    auto rows = parsePlan(csv, &why, force);
    if (!rows)
        *error = printable(path) + QStringLiteral(" ") + why;
    return rows;
}
