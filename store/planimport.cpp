// SPDX-License-Identifier: MIT
// PlanDatabase's import of a plan: read and checked a chunk at a time, each
// chunk its own COPY into a table of the session's, then checked whole
// against the plan already there and added in one transaction.

#include "store/plandatabase.h"

#include "store/planstatements.h"

using namespace plansql;

namespace {

// Plan rows sent to the server at a time, each chunk its own COPY: a few MB.
constexpr int importChunk = 50000;

// A value in COPY's text form: the characters COPY reads as separators or
// escapes are escaped.
QString copyText(const QString &value)
{
    QString text;
    text.reserve(value.size());
    for (const QChar c : value) {
        switch (c.unicode()) {
        case '\\': text += QStringLiteral("\\\\"); break;
        case '\t': text += QStringLiteral("\\t"); break;
        case '\n': text += QStringLiteral("\\n"); break;
        case '\r': text += QStringLiteral("\\r"); break;
        default: text += c;
        }
    }
    return text;
}

// A chunk of the plan in COPY's text form: empty after the last, none when
// the plan's text is refused.
std::optional<QByteArray> copyChunk(PlanReader &plan)
{
    const auto rows = plan.next(importChunk);
    if (!rows)
        return std::nullopt;
    // Appended a piece at a time, so the buffer grows by doubling: a
    // string builder's += reserves exactly what each row needs, which
    // copies the whole chunk again for each row wherever realloc cannot
    // grow in place.
    QByteArray data;
    constexpr int typicalRow = 64;
    data.reserve(int(rows->size()) * typicalRow);
    for (const PlanRow &row : *rows) {
        QStringList fields {QString::number(row.row), QString::number(row.line)};
        for (Setting setting : allSettings)
            fields << copyText(canonicalOf(row.values, setting));
        data.append(fields.join(QLatin1Char('\t')).toUtf8());
        data.append('\n');
    }
    return data;
}

} // namespace

void PlanDatabase::importPlan(const std::shared_ptr<PlanReader> &plan, bool forced,
                              std::function<void(const DbFault &, int first)> done)
{
    auto first = std::make_shared<int>(0);
    transaction(QStringLiteral("BEGIN"), [this, plan, forced, first](Done finish) {
        // The rows go to a table of this session's first, a chunk at a time;
        // then one import at a time, and no claim in between, while the
        // pool is checked whole against what is there.
        runSteps({statement(QStringLiteral("CREATE TEMPORARY TABLE vev_import (n integer, line integer, ip text, "
                                           "gateway text, tcp_port text, mac text) ON COMMIT DROP"), {}),
                  [this, plan](const Done &next) { copyPlanRows(plan, next); },
                  statement(QStringLiteral("LOCK TABLE vev_plan IN SHARE ROW EXCLUSIVE MODE"), {}),
                  [this](const Done &next) { checkPlanRows(next); },
                  [this, forced, first](const Done &next) { insertPlanRows(forced, first, next); }},
                 finish);
    }, [this, first, done](DbFault fault) {
        if (fault.sqlState == QLatin1String("42501")) // insufficient privilege: a station's role
            fault.why = QStringLiteral("%1 (%2): a plan is imported by the login that owns the tables, not by the "
                                       "stations' role").arg(fault.why, m_uri.display());
        done(fault, *first);
    });
}


void PlanDatabase::copyPlanRows(const std::shared_ptr<PlanReader> &plan, Done next)
{
    copyAhead(plan, Ahead<std::optional<QByteArray>>::start([plan] { return copyChunk(*plan); }), std::move(next));
}

void PlanDatabase::copyAhead(const std::shared_ptr<PlanReader> &plan,
                             const std::shared_ptr<Ahead<std::optional<QByteArray>>> &chunk, Done next)
{
    const std::optional<QByteArray> data = std::move(chunk->result());
    if (!data)
        return next(DbFault::refused(plan->error() + QStringLiteral("; nothing was imported"), ExitCode::Usage));
    if (data->isEmpty())
        return next({});
    // The next chunk is read and checked while this one goes to the server.
    const auto following = Ahead<std::optional<QByteArray>>::start([plan] { return copyChunk(*plan); });
    m_pg->copyIn(QStringLiteral("COPY vev_import (n, line, ip, gateway, tcp_port, mac) FROM STDIN"), *data,
                 [this, plan, following, next](const DbFault &fault, const PgResult &) {
                     if (fault) {
                         following->wait();
                         return next(fault);
                     }
                     copyAhead(plan, following, next);
                 });
}

void PlanDatabase::checkPlanRows(Done next)
{
    run(QStringLiteral("SELECT x.line, x.ip, x.mac, p.row, p.ip, p.mac, p.state FROM vev_import x "
                       "JOIN vev_plan p ON p.ip = x.ip OR p.mac = x.mac ORDER BY x.line LIMIT 1"),
        {}, [next](const PgResult &result) {
            if (result.rows() == 0)
                return next({});
            const bool sameIp = result.bytes(0, 1) == result.bytes(0, 4);
            next(DbFault::refused(
                QStringLiteral("line %1 (IP \"%2\", MAC \"%3\"): its %4 address is already in the database, in row %5 (IP "
                               "\"%6\", MAC \"%7\", %8); one address would go to two modules; nothing was imported")
                    .arg(result.number(0, 0)).arg(printable(result.text(0, 1)), printable(result.text(0, 2)),
                                                  sameIp ? QStringLiteral("IP") : QStringLiteral("MAC"))
                    .arg(result.number(0, 3))
                    .arg(printable(result.text(0, 4)), printable(result.text(0, 5)), result.text(0, 6)),
                ExitCode::Usage));
        }, next);
}

void PlanDatabase::insertPlanRows(bool forced, const std::shared_ptr<int> &first, Done next)
{
    run(QStringLiteral("SELECT coalesce(max(row), 0) FROM vev_plan"), {}, [this, forced, first, next](const PgResult &last) {
        const qint64 before = last.number(0, 0);
        run(QStringLiteral("INSERT INTO vev_plan (row, line, ip, gateway, tcp_port, mac, forced) "
                           "SELECT CAST($1 AS integer) + x.n, x.line, x.ip, x.gateway, x.tcp_port, x.mac, "
                           "CAST($2 AS boolean) FROM vev_import x"),
            {before, forced}, [before, first, next](const PgResult &) {
                *first = int(before) + 1;
                next({});
            }, next);
    }, next);
}
