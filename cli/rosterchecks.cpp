// SPDX-License-Identifier: MIT
#include "rosterchecks.h"

#include "rostercommands.h"

#include "plan/records.h"
#include "protocol/values.h"

namespace cli {

// Who signs in before the command runs, and for what; refused when the
// options do not go together.
std::optional<SignInRequest> signInOf(const Args &args, std::optional<SupervisorRight> right, Refusal *refusal)
{
    const Options &o = options();
    SignInRequest request;
    request.rosterFile = args.value(o.roster);
    request.badgeFile = args.value(o.badgeFile);
    request.right = right;
    request.namedOperator = args.isSet(o.operatorName);
    if (args.isSet(o.roster) && request.rosterFile.isEmpty())
        return refused<SignInRequest>(refusal, QStringLiteral("--roster needs the roster's file"));
    if (args.isSet(o.roster) && request.namedOperator) {
        return refused<SignInRequest>(refusal, QStringLiteral("with --roster the operator signs in with their badge: "
                                                              "leave --operator out"));
    }
    if (args.isSet(o.badgeFile) && !args.isSet(o.roster) && !args.isSet(o.db))
        return refused<SignInRequest>(refusal, QStringLiteral("--badge-file goes with --roster (or a database's roster)"));
    QString ignored;
    if (args.isSet(o.db))
        request.database = DatabaseUri::parse(args.value(o.db), &ignored);
    return request;
}

// The store's set-up once someone signed in: the lines name them.
StoreSetup signedSetup(StoreSetup setup, const std::optional<Signer> &who)
{
    if (who) {
        setup.operatorName = who->name;
        setup.operatorId = who->id;
    }
    return setup;
}

std::optional<SupervisorRight> rightOf(const QString &command)
{
    if (command == QLatin1String("plan release"))
        return SupervisorRight::Release;
    if (command == QLatin1String("shift start"))
        return SupervisorRight::NewShift;
    return std::nullopt;
}

// A database command that signs in first.
Run signedDatabaseRun(const Args &args, const DatabaseRequest &request, Refusal *refusal)
{
    const auto signing = signInOf(args, rightOf(request.command), refusal);
    if (!signing)
        return {};
    return [signing = *signing, request](const Done &done) {
        signIn(signing, done, [request, done](const std::optional<Signer> &who) {
            DatabaseRequest signedRequest = request;
            if (who) {
                signedRequest.operatorName = who->name;
                signedRequest.operatorId = who->id;
                if (request.command == QLatin1String("plan release"))
                    signedRequest.supervisor = *who;
            }
            databaseCommand(signedRequest)(done);
        });
    };
}
// The roster a database keeps, or a roster file listed.
Run operatorCheck(const Args &args, Refusal *refusal)
{
    const Options &o = options();
    OperatorRequest request;
    request.command = args.command;
    request.rosterFile = args.value(o.roster);
    request.badgeFile = args.value(o.badgeFile);
    if (args.isSet(o.roster) == args.isSet(o.db) && args.takes(o.roster))
        return refuse(refusal, QStringLiteral("operator list takes --db URI or --roster FILE"));
    if (!args.isSet(o.roster) && !args.isSet(o.db))
        return refuse(refusal, QStringLiteral("%1 works on a database's roster: give --db URI").arg(args.command));
    QString error;
    if (args.isSet(o.db)) {
        request.database = DatabaseUri::parse(args.value(o.db), &error);
        if (!request.database)
            return refuse(refusal, error);
    }
    if (args.takes(o.personId)) {
        request.entry.id = args.value(o.personId);
        if (const QString problem = rosterIdProblem(request.entry.id); !problem.isEmpty())
            return refuse(refusal, QStringLiteral("--id: ") + problem);
    }
    if (args.takes(o.name)) {
        const auto name = recordName(args.value(o.name), QStringLiteral("--name"), &error);
        if (!name || name->trimmed().isEmpty())
            return refuse(refusal, name ? QStringLiteral("operator add needs --name, the person's name") : error);
        request.entry.name = name->trimmed();
        const auto role = roleOf(args.value(o.role));
        if (!role) {
            return refuse(refusal, QStringLiteral("--role is operator or supervisor, not \"%1\"")
                                       .arg(printable(args.value(o.role))));
        }
        request.entry.role = *role;
    }
    return operatorCommand(request);
}
} // namespace cli
