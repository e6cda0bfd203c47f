// SPDX-License-Identifier: MIT
#include "plan/auditfile.h"

#include <QFileInfo>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// A "line" longer than a record can be must not be read whole to find out.
constexpr qint64 longestLine = longestAuditLine;

#ifdef Q_OS_UNIX
QString systemError(int number)
{
    return QString::fromLocal8Bit(std::strerror(number));
}
#endif

qint64 currentSize(const QFile &file)
{
#ifdef Q_OS_UNIX
    struct stat info {};
    return ::fstat(file.handle(), &info) == 0 ? qint64(info.st_size) : -1;
#else
    return file.size();
#endif
}

} // namespace

struct Halves::Helper {
    std::mutex mutex;
    std::condition_variable changed;
    const std::function<void(int, int)> *work = nullptr; // the half asked for, until it is done
    int end = 0;
    bool quit = false;
    std::thread thread;

    void loop()
    {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return quit || work != nullptr; });
            if (quit)
                return;
            lock.unlock();
            (*work)(0, end);
            lock.lock();
            work = nullptr;
            changed.notify_all();
        }
    }
};

Halves::Halves()
{
    if (std::thread::hardware_concurrency() < 2)
        return;
    auto helper = std::make_unique<Helper>();
    try {
        helper->thread = std::thread([h = helper.get()] { h->loop(); });
        m_helper = std::move(helper);
    } catch (const std::system_error &) {
        // No thread to be had: all of it on the caller's.
    }
}

Halves::~Halves()
{
    if (!m_helper)
        return;
    {
        const std::lock_guard<std::mutex> lock(m_helper->mutex);
        m_helper->quit = true;
    }
    m_helper->changed.notify_all();
    m_helper->thread.join();
}

void Halves::run(int count, const std::function<void(int begin, int end)> &work)
{
    const int middle = count / 2;
    if (!m_helper || count < 64) {
        work(0, count);
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(m_helper->mutex);
        m_helper->work = &work;
        m_helper->end = middle;
    }
    m_helper->changed.notify_all();
    work(middle, count);
    std::unique_lock<std::mutex> lock(m_helper->mutex);
    m_helper->changed.wait(lock, [this] { return m_helper->work == nullptr; });
}

void inHalves(int count, const std::function<void(int begin, int end)> &work)
{
    if (count < 64)
        return work(0, count);
    Halves().run(count, work);
}

QString notAnAuditFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() || info.isFile())
        return {};
    return QStringLiteral("%1 is not a regular file (%2); an audit is a file of its own")
        .arg(printable(path), info.isDir() ? QStringLiteral("a folder") : QStringLiteral("a device, FIFO or socket"));
}

namespace {

// A file's lines, read in large blocks and handed out in place, each as
// QIODevice::readLine(longestLine + 1) would give it: a line end found
// within longestLine bytes ends a line; without one, the rest of the file
// is a partial line when it is that short, else a line too long.
class LineReader
{
public:
    enum class Got { Line, End, Partial, TooLong, Error };

    explicit LineReader(QFile &file)
        : m_file(file)
    {
    }

    // The next line, without its line end, valid until the next call.
    Got next(QByteArray *line)
    {
        while (m_buffer.size() - m_begin <= longestLine && !m_atEnd) {
            if (!fill())
                return Got::Error;
        }
        const qint64 left = m_buffer.size() - m_begin;
        if (left == 0)
            return Got::End;
        const char *begin = m_buffer.constData() + m_begin;
        const auto *end = static_cast<const char *>(std::memchr(begin, '\n', size_t(std::min(left, longestLine))));
        if (!end)
            return left <= longestLine ? Got::Partial : Got::TooLong;
        *line = QByteArray::fromRawData(begin, int(end - begin));
        m_begin += int(end - begin) + 1;
        return Got::Line;
    }

private:
    // Moves what is left to the front and reads a block after it.
    bool fill()
    {
        constexpr int block = 4 << 20;
        m_buffer.remove(0, m_begin);
        m_begin = 0;
        const int kept = m_buffer.size();
        m_buffer.resize(kept + block);
        const qint64 n = m_file.read(m_buffer.data() + kept, block);
        m_buffer.resize(kept + int(std::max<qint64>(n, 0)));
        m_atEnd = n == 0;
        return n >= 0;
    }

    QFile &m_file;
    QByteArray m_buffer;
    int m_begin = 0;
    bool m_atEnd = false;
};

// A line as either core reads it: what readAuditLine() makes of it (and
// why not), and its hash.
struct ReadLine {
    QByteArray text;
    std::optional<AuditLine> read;
    QString why;
    QByteArray hash;
};

// With keep false, each record is checked and let go of at once, on the
// thread that read it: an empty one stands for it.
void readLines(ReadLine *begin, ReadLine *end, bool keep)
{
    for (ReadLine *line = begin; line != end; ++line) {
        line->read = readAuditLine(line->text, &line->why);
        if (!line->read)
            continue;
        line->hash = chainHash(line->text);
        if (!keep && line->read->record)
            line->read->record = AuditRecord();
    }
}

// Each line of a batch is read by itself, the first half on a thread of its
// own where there is a second core; the chain is then checked in order.
void readBatch(Halves &halves, std::vector<ReadLine> &batch, bool keep)
{
    ReadLine *lines = batch.data();
    halves.run(int(batch.size()), [lines, keep](int begin, int end) { readLines(lines + begin, lines + end, keep); });
}

// The records kept for the visitor are let go of by the threads that made
// them: memory freed on another thread than its own costs far more.
void letGo(Halves &halves, std::vector<ReadLine> &batch)
{
    ReadLine *lines = batch.data();
    halves.run(int(batch.size()), [lines](int begin, int end) {
        for (ReadLine *line = lines + begin; line != lines + end; ++line)
            line->read.reset();
    });
}

constexpr std::size_t batchLines = 512;

} // namespace

AuditCheck verifyAudit(const QString &path, const AuditVisitor &visit, const QByteArray &lastHash)
{
    AuditCheck check;
    check.lastHash = firstPrev;
    const QString refused = notAnAuditFile(path);
    QFile file(path);
    if (!refused.isEmpty() || !file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        check.unreadable = true;
        check.why = refused.isEmpty() ? QStringLiteral("cannot read %1: %2").arg(printable(path), file.errorString())
                                      : refused;
        return check;
    }
    AuditChain chain;
    // What checked out so far: the lines before a bad one, or all.
    const auto tally = [&check, &chain] {
        check.lastHash = chain.lastHash();
        check.lines = chain.lines();
        check.unknown = chain.unknown();
    };
    const auto bad = [&check, &tally](int line, const QString &why) {
        tally();
        check.firstBad = line;
        check.why = why;
        return check;
    };
    LineReader lines(file);
    Halves halves;
    QByteArray line;
    std::vector<ReadLine> batch;
    batch.reserve(batchLines);
    LineReader::Got got = LineReader::Got::Line;
    for (int number = 1; got == LineReader::Got::Line;) {
        // A batch of whole lines, or fewer up to what ends them.
        batch.clear();
        while (batch.size() < batchLines && (got = lines.next(&line)) == LineReader::Got::Line && !line.endsWith('\r'))
            batch.push_back({QByteArray(line.constData(), line.size()), {}, {}, {}});
        readBatch(halves, batch, bool(visit));
        for (ReadLine &read : batch) {
            const auto taken = chain.take(std::move(read.read), read.hash, &read.why);
            if (!taken)
                return bad(number, read.why);
            if (visit && taken->record)
                visit(*taken->record, number);
            read.read = std::move(taken);
            ++number;
        }
        if (visit)
            letGo(halves, batch);
        if (got == LineReader::Got::Error) {
            tally();
            check.unreadable = true;
            check.why = QStringLiteral("cannot read %1: %2").arg(printable(path), file.errorString());
            return check;
        }
        if (got == LineReader::Got::Line && line.endsWith('\r')) {
            return bad(number, QStringLiteral("the line ends in CR LF: the audit's line ends were converted (by an "
                                              "editor, or a copy in text mode); convert them back with "
                                              "dos2unix or sed -i 's/\\r$//' and verify again"));
        }
        if (got == LineReader::Got::Partial || got == LineReader::Got::TooLong) {
            return bad(number, got == LineReader::Got::Partial
                                   ? QStringLiteral("a partial line without its line end")
                                   : QStringLiteral("longer than %1 bytes: not an audit line").arg(longestLine));
        }
    }
    tally();
    if (!lastHash.isEmpty()) {
        check.why = chain.endsElsewhere(lastHash);
        check.endsElsewhere = !check.why.isEmpty();
    }
    return check;
}

bool AuditFile::open(const QString &path, const AuditVisitor &visit, QString *error, bool *broken)
{
    *broken = false;
    const QString refused = notAnAuditFile(path);
    if (!refused.isEmpty()) {
        *error = refused;
        return false;
    }
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered)) {
        *error = QStringLiteral("cannot open the audit %1: %2").arg(printable(path), m_file.errorString());
        return false;
    }
#ifdef Q_OS_UNIX
    // What was checked by name may have been swapped since: check what is open.
    struct stat info {};
    if (::fstat(m_file.handle(), &info) != 0 || !S_ISREG(info.st_mode)) {
        *error = QStringLiteral("%1 is not a regular file; an audit is a file of its own").arg(printable(path));
        m_file.close();
        return false;
    }
#endif
    const AuditCheck check = verifyAudit(path, visit);
    if (check.unreadable || check.firstBad > 0) {
        *broken = check.firstBad > 0;
        *error = check.unreadable ? check.why
                                  : QStringLiteral("the audit %1 is broken at line %2: %3; nothing is appended to it "
                                                   "(check it with audit-verify)")
                                        .arg(printable(path)).arg(check.firstBad).arg(check.why);
        m_file.close();
        return false;
    }
    m_size = m_file.size();
    m_lines = check.lines;
    m_lastHash = check.lastHash;
    return true;
}

bool AuditFile::append(const AuditRecord &record, QString *error)
{
    const QByteArray line = auditLine(record, m_lastHash);
    const QByteArray text = line + '\n';
    // Cutting a failed write back to a size the file no longer has would
    // grow it with zeros, and the chain would hang on lines not read.
    if (const qint64 found = currentSize(m_file); found != m_size) {
        *error = QStringLiteral("cannot write the audit %1: it has %2 bytes, where this program left %3; it was changed "
                                "by another program").arg(printable(m_file.fileName())).arg(found).arg(m_size);
        return false;
    }
    QString reason;
#ifdef Q_OS_UNIX
    // One write of the whole line where the system allows it; a short write
    // (a disk filling up) is taken up again until it fails with its reason.
    qint64 done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(m_file.handle(), text.constData() + done, size_t(text.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            reason = n < 0 ? systemError(errno) : QStringLiteral("nothing was written");
            break;
        }
        done += n;
    }
    if (reason.isEmpty() && ::fsync(m_file.handle()) != 0)
        reason = systemError(errno);
#else
    if (m_file.write(text) != text.size() || !m_file.flush())
        reason = m_file.errorString();
#endif
    if (!reason.isEmpty()) {
        // Whole or absent: what part of the line went out is taken back, so
        // the trail still ends in a whole line that the chain vouches for.
        QString cut;
#ifdef Q_OS_UNIX
        if (::ftruncate(m_file.handle(), m_size) != 0 || ::fsync(m_file.handle()) != 0)
            cut = systemError(errno);
#else
        if (!m_file.resize(m_size))
            cut = m_file.errorString();
#endif
        *error = QStringLiteral("cannot write the audit %1: %2").arg(printable(m_file.fileName()), reason);
        if (!cut.isEmpty())
            *error += QStringLiteral(" (and it could not be cut back to its last whole line: %1)").arg(cut);
        return false;
    }
    m_size += text.size();
    ++m_lines;
    m_lastHash = chainHash(line);
    return true;
}
