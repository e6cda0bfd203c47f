// SPDX-License-Identifier: MIT
#include "plan/plan.h"

#include "plan/addressbook.h"
#include "plan/auditfile.h"
#include "protocol/values.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <limits>
#include <vector>

namespace {

// Room for a plan of a million rows and more (about 45 MB).
constexpr qint64 largestPlan = 128 * 1024 * 1024;
// The plan is read this many bytes at a time.
constexpr int readBlock = 1 << 20;

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

// Text a spreadsheet or an editor saved in a form this reader would misread,
// looked for over the whole text a block at a time.
class EncodingScan
{
public:
    void take(const QByteArray &bytes)
    {
        if (m_start.size() < 4)
            m_start += bytes.left(4 - m_start.size());
        if (m_nulLine == 0) {
            const qsizetype nul = bytes.indexOf('\0');
            if (nul >= 0)
                m_nulLine = m_lines + int(QByteArray::fromRawData(bytes.constData(), int(nul)).count('\n')) + 1;
        }
        const int lineEnds = int(bytes.count('\n'));
        m_lines += lineEnds;
        const qsizetype cr = bytes.indexOf('\r');
        if (m_firstCr < 0 && cr >= 0)
            m_firstCr = m_size + cr;
        m_size += bytes.size();
    }

    std::optional<QString> problem() const
    {
        const QByteArray &csv = m_start;
        if (csv.startsWith("\xff\xfe") || csv.startsWith("\xfe\xff")
            || (csv.size() >= 4 && ((csv.at(0) == 0) != (csv.at(1) == 0)) && ((csv.at(2) == 0) != (csv.at(3) == 0)))) {
            return QStringLiteral("is UTF-16 text; save it as UTF-8 (or plain ASCII) CSV");
        }
        if (m_nulLine > 0)
            return QStringLiteral("line %1: a NUL byte; a plan is text").arg(m_nulLine);
        if (m_firstCr >= 0 && m_lines == 0 && m_firstCr + 1 < m_size)
            return QStringLiteral("has lines ending in CR alone (an old Mac format); save it with LF or CR LF line ends");
        return std::nullopt;
    }

private:
    QByteArray m_start;
    int m_nulLine = 0;
    int m_lines = 0;
    qint64 m_firstCr = -1;
    qint64 m_size = 0;
};

// The header decides the separator: a semicolon where the header has one
// and no comma (spreadsheets in many locales write those), else a comma.
QChar separatorOf(const QString &text)
{
    const QString header = text.left(text.indexOf(QLatin1Char('\n')));
    return header.contains(QLatin1Char(';')) && !header.contains(QLatin1Char(',')) ? QLatin1Char(';')
                                                                                     : QLatin1Char(',');
}

} // namespace

namespace {

// The records of text that starts on firstLine.
std::optional<QList<CsvRecord>> parseCsvText(const QString &text, QChar separator, int firstLine, QString *error)
{
    QList<CsvRecord> records;
    CsvRecord record {firstLine, {}};
    QString field;
    bool quoted = false;
    bool fieldStarted = false;
    int line = firstLine;
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

QString withoutByteOrderMark(QString text)
{
    if (text.startsWith(QChar(0xfeff)))
        text.remove(0, 1); // the byte order mark spreadsheets put before UTF-8
    return text;
}

} // namespace

std::optional<QList<CsvRecord>> parseCsv(const QByteArray &csv, QString *error)
{
    const QString text = withoutByteOrderMark(QString::fromUtf8(csv));
    return parseCsvText(text, separatorOf(text), 1, error);
}

struct PlanReader::State {
    QByteArray pending; // the bytes after the last whole record read
    int pendingLine = 1;
    bool atEnd = false;
    bool first = true;
    QChar separator = QLatin1Char(',');
    QList<CsvRecord> records;
    int taken = 0;
    std::array<int, allSettings.size()> column {};
    int width = 0;
    AddressBook seen; // two modules with one address would fight over it on the network
};

PlanReader::PlanReader(QIODevice *device, bool force)
    : m_device(device)
    , m_force(force)
    , m_state(std::make_unique<State>())
{
}

PlanReader::PlanReader(std::unique_ptr<QIODevice> device, bool force)
    : PlanReader(device.get(), force)
{
    m_owned = std::move(device);
}

PlanReader::~PlanReader() = default;

bool PlanReader::start()
{
    EncodingScan scan;
    for (QByteArray bytes; !(bytes = m_device->read(readBlock)).isEmpty();)
        scan.take(bytes);
    if (!m_device->seek(0)) {
        m_error = QStringLiteral("cannot be read again: %1").arg(m_device->errorString());
        return false;
    }
    if (const auto problem = scan.problem()) {
        m_error = *problem;
        return false;
    }
    State &state = *m_state;
    while (state.records.isEmpty() && !(state.atEnd && state.pending.isEmpty())) {
        if (!readRecords())
            return false;
    }
    if (state.records.isEmpty()) {
        m_error = QStringLiteral("the plan is empty: a header line ip,gateway,tcp_port,mac comes first");
        return false;
    }
    // The header: each of the four columns once, nothing else.
    const CsvRecord &header = state.records.first();
    state.column.fill(-1);
    for (int i = 0; i < header.fields.size(); ++i) {
        const QString name = header.fields.at(i).trimmed();
        const auto setting = settingForColumn(name);
        if (!setting || state.column[std::size_t(*setting)] >= 0) {
            m_error = QStringLiteral("line %1: column \"%2\" is %3; the columns are ip, gateway, tcp_port and mac")
                          .arg(header.line)
                          .arg(printable(name), setting ? QStringLiteral("given twice") : QStringLiteral("unknown"));
            return false;
        }
        state.column[std::size_t(*setting)] = i;
    }
    for (Setting setting : allSettings) {
        if (state.column[std::size_t(setting)] < 0) {
            m_error = QStringLiteral("line %1: the header has no column %2").arg(header.line)
                          .arg(setting == Setting::Port ? QStringLiteral("tcp_port") : QLatin1String(settingInfo(setting).key));
            return false;
        }
    }
    state.width = int(header.fields.size());
    state.taken = 1;
    return true;
}

// The records of the next blocks, up to the last line end outside quotes:
// a field in quotes may hold line ends, and is never cut.
bool PlanReader::readRecords()
{
    State &state = *m_state;
    int cut = 0;
    while (cut == 0 && !state.atEnd) {
        const QByteArray bytes = m_device->read(readBlock);
        state.atEnd = bytes.isEmpty();
        state.pending += bytes;
        bool quoted = false;
        for (int i = 0; i < state.pending.size(); ++i) {
            const char c = state.pending.at(i);
            if (c == '"')
                quoted = !quoted;
            else if (c == '\n' && !quoted)
                cut = i + 1;
        }
        if (state.atEnd)
            cut = int(state.pending.size());
    }
    const QByteArray chunk = state.pending.left(cut);
    state.pending.remove(0, cut);
    QString text = QString::fromUtf8(chunk);
    if (state.first) {
        text = withoutByteOrderMark(text);
        state.separator = separatorOf(text);
        state.first = false;
    }
    auto records = parseCsvText(text, state.separator, state.pendingLine, &m_error);
    if (!records)
        return false;
    state.pendingLine += int(chunk.count('\n'));
    state.records = std::move(*records);
    state.taken = 0;
    return true;
}

PlanReader::ReadRow PlanReader::rowOf(const CsvRecord &record) const
{
    const State &state = *m_state;
    ReadRow read;
    if (record.fields.size() != state.width) {
        read.why = QStringLiteral("line %1: %2 fields where the header has %3")
                       .arg(record.line).arg(record.fields.size()).arg(state.width);
        return read;
    }
    read.row.line = record.line;
    for (Setting setting : allSettings)
        valueOf(read.row.values, setting) = record.fields.at(state.column[std::size_t(setting)]).trimmed();
    // The rules write applies, --force included: a plan is many writes.
    if (const auto refusal = refuseToWrite(read.row.values, m_force)) {
        read.why = QStringLiteral("line %1: %2").arg(record.line).arg(*refusal);
        return read;
    }
    read.ip = canonicalValue(Setting::IpAddress, *valueOf(read.row.values, Setting::IpAddress));
    read.mac = canonicalValue(Setting::MacAddress, *valueOf(read.row.values, Setting::MacAddress));
    return read;
}

std::optional<QList<PlanRow>> PlanReader::next(int count)
{
    State &state = *m_state;
    QList<PlanRow> rows;
    while (rows.size() < count) {
        if (state.taken == state.records.size()) {
            state.records.clear();
            if (state.atEnd && state.pending.isEmpty())
                break;
            if (!readRecords())
                return std::nullopt;
            continue;
        }
        // Each record is read by itself on either core; whether an address
        // came before is then asked in order, so the first fault in the
        // plan is the one said.
        const int take = std::min(count - int(rows.size()), int(state.records.size()) - state.taken);
        std::vector<ReadRow> read(static_cast<std::size_t>(take));
        inHalves(take, [this, &read, &state](int begin, int end) {
            for (int i = begin; i < end; ++i)
                read[std::size_t(i)] = rowOf(state.records.at(state.taken + i));
        });
        state.taken += take;
        for (ReadRow &one : read) {
            if (!one.why.isEmpty() || !(one.why = twice(one)).isEmpty()) {
                m_error = one.why;
                return std::nullopt;
            }
            one.row.row = ++m_rows;
            rows << std::move(one.row);
        }
    }
    return rows;
}

// Why a row's IP or MAC address is one an earlier row has: two modules
// with one address would fight over it on the network. Empty when neither.
QString PlanReader::twice(const ReadRow &read)
{
    for (const auto &[setting, key] : {std::pair {Setting::IpAddress, &read.ip}, std::pair {Setting::MacAddress, &read.mac}}) {
        if (const int before = m_state->seen.add(setting, *key, read.row.line)) {
            return QStringLiteral("line %1: %2 \"%3\" is already on line %4").arg(read.row.line)
                .arg(QLatin1String(settingInfo(setting).name), *key).arg(before);
        }
    }
    return {};
}

std::optional<QList<PlanRow>> parsePlan(const QByteArray &csv, QString *error, bool force)
{
    QByteArray bytes = csv;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    PlanReader reader(&buffer, force);
    std::optional<QList<PlanRow>> rows = reader.start() ? reader.next(std::numeric_limits<int>::max()) : std::nullopt;
    if (!rows)
        *error = reader.error();
    return rows;
}

std::unique_ptr<QIODevice> openPlan(const QString &path, QString *error)
{
    auto file = std::make_unique<QFile>(path);
    if (!QFileInfo(path).isFile() || !file->open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, QFileInfo(path).exists() ? file->errorString()
                                                                                          : QStringLiteral("no such file"));
        return nullptr;
    }
    if (file->size() > largestPlan) {
        *error = QStringLiteral("%1 is larger than %2 bytes").arg(path).arg(largestPlan);
        return nullptr;
    }
    return file;
}

std::optional<QList<PlanRow>> readPlan(const QString &path, QString *error, bool force)
{
    const auto file = openPlan(path, error);
    if (!file)
        return std::nullopt;
    PlanReader reader(file.get(), force);
    std::optional<QList<PlanRow>> rows = reader.start() ? reader.next(std::numeric_limits<int>::max()) : std::nullopt;
    if (!rows)
        *error = printable(path) + QStringLiteral(" ") + reader.error();
    return rows;
}
