// SPDX-License-Identifier: MIT
// The roster: badge codes hashed, roster files read or refused, and who a
// code signs in for what.

#include "roster/roster.h"
#include "rosterfixture.h"

#include <QtTest>

class TestRoster : public QObject
{
    Q_OBJECT

private slots:
    void badgeHashes();
    void rosterFiles_data();
    void rosterFiles();
    void rolesDecideTheRights();
    void codesInClearStayWithTheirOwner();
};

void TestRoster::badgeHashes()
{
    const auto first = hashBadge(QStringLiteral("OP-4711-ANA"), 1000);
    const auto second = hashBadge(QStringLiteral("OP-4711-ANA"), 1000);
    QVERIFY(first && second);
    // A salt of its own: one code never gives the same hash twice.
    QVERIFY(first->salt != second->salt && first->hash != second->hash);
    QVERIFY(!first->text().contains(QLatin1String("OP-4711")));

    const auto kept = BadgeHash::fromText(first->text());
    QVERIFY(kept);
    QVERIFY(badgeMatches(*kept, QStringLiteral("OP-4711-ANA")));
    QVERIFY(!badgeMatches(*kept, QStringLiteral("OP-4711-AN")));
    QVERIFY(!badgeMatches(*kept, QStringLiteral("op-4711-ana")));

    // Damaged text is no hash, and one asking for endless work is refused.
    const QString text = first->text();
    for (const QString &bad : {QString(), QStringLiteral("plain"), QString(text).replace(QLatin1String("pbkdf2"), QLatin1String("md5")),
                               QString(text).replace(QLatin1String("$1000$"), QLatin1String("$999999999$")),
                               QString(text).replace(QLatin1String("$1000$"), QLatin1String("$0$")), text.chopped(4)})
        QVERIFY2(!BadgeHash::fromText(bad), qPrintable(bad));
}

void TestRoster::rosterFiles_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QString>("refusal"); // empty: read, with two people
    const QByteArray header = "id,name,role,badge\n";
    const QByteArray ana = "ana,Ana Lima,operator,OP-4711-ANA\n";
    QTest::newRow("two people") << roster::csv << QString();
    QTest::newRow("columns in any order, ';' separators") << QByteArray("Badge;Role;Name;ID\nOP-1;operator;A;a\nSUP-2;supervisor;B;b\n")
                                                           << QString();
    const auto hashed = hashBadge(QStringLiteral("SUP-0042-SAM"), 1000)->text().toLatin1();
    QTest::newRow("a hashed code") << header + ana + "sam,Sam Okoro,supervisor," + hashed + "\n" << QString();
    QTest::newRow("no header") << ana << QStringLiteral("needs the header id,name,role,badge");
    QTest::newRow("no badge column") << QByteArray("id,name,role\nana,Ana,operator\n") << QStringLiteral("badge is missing");
    QTest::newRow("nobody") << header << QStringLiteral("names no one");
    QTest::newRow("id twice") << header + ana + "ANA,Ana Two,operator,OP-9999\n" << QStringLiteral("line 3: the id ANA is given twice");
    QTest::newRow("code twice") << header + ana + "bo,Bo,operator,OP-4711-ANA\n"
                                << QStringLiteral("ana and bo have the same badge code");
    QTest::newRow("bad role") << header + "ana,Ana,boss,OP-4711-ANA\n" << QStringLiteral("the role is operator or supervisor");
    QTest::newRow("bad id") << header + "a na,Ana,operator,OP-4711-ANA\n" << QStringLiteral("the id \"a na\" is not");
    QTest::newRow("no name") << header + "ana,,operator,OP-4711-ANA\n" << QStringLiteral("the name is empty");
    QTest::newRow("short code") << header + "ana,Ana,operator,OP\n" << QStringLiteral("at least 4 characters");
}

void TestRoster::rosterFiles()
{
    QFETCH(QByteArray, csv);
    QFETCH(QString, refusal);
    QString error;
    const auto roster = Roster::parse(csv, QStringLiteral("roster.csv"), &error);
    if (refusal.isEmpty()) {
        QVERIFY2(roster, qPrintable(error));
        QCOMPARE(roster->entries().size(), 2);
        return;
    }
    QVERIFY(!roster);
    QVERIFY2(error.contains(refusal), qPrintable(error));
    // A refusal names the line, never the code on it.
    QVERIFY2(!error.contains(QLatin1String("4711")), qPrintable(error));
}

void TestRoster::rolesDecideTheRights()
{
    QString error;
    const auto roster = Roster::parse(roster::csv, QStringLiteral("roster.csv"), &error);
    QVERIFY2(roster, qPrintable(error));
    const QString operatorCode = QString::fromLatin1(roster::operatorCode);
    const QString supervisorCode = QString::fromLatin1(roster::supervisorCode);

    // Anyone on the roster may start; a stranger or no code may not.
    QCOMPARE(roster->signIn(operatorCode).who->id, QStringLiteral("ana"));
    QCOMPARE(roster->signIn(supervisorCode).who->name, QStringLiteral("Sam Okoro"));
    for (const QString &code : {QString::fromLatin1(roster::strangerCode), QString(), QString(operatorCode + QLatin1Char(' '))}) {
        const SignIn refused = roster->signIn(code);
        QVERIFY(!refused.who);
        QVERIFY(!refused.why.isEmpty() && !refused.why.contains(QLatin1String("OP-")));
    }

    // Each supervisor's right: an operator's badge is refused, with why.
    for (const SupervisorRight right : {SupervisorRight::Release, SupervisorRight::ChangeSetup, SupervisorRight::NewShift}) {
        const SignIn refused = roster->authorise(operatorCode, right);
        QVERIFY(!refused.who);
        QVERIFY2(refused.why.contains(QLatin1String("Ana Lima (ana) is an operator; ") + rightText(right)
                                      + QLatin1String(" needs a supervisor's badge")), qPrintable(refused.why));
        QCOMPARE(roster->authorise(supervisorCode, right).who->id, QStringLiteral("sam"));
    }
}

void TestRoster::codesInClearStayWithTheirOwner()
{
    QTemporaryDir dir;
    QString error;
    const auto shared = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
    QString path = roster::writeRoster(dir, roster::csv, shared);
    QVERIFY(!Roster::readFile(path, &error));
    QVERIFY2(error.contains(QLatin1String("holds badge codes in clear and others than its owner may read")), qPrintable(error));
    QVERIFY2(roster::codeIn(error.toUtf8()).isEmpty(), qPrintable(error));

    path = roster::writeRoster(dir);
    QVERIFY2(Roster::readFile(path, &error), qPrintable(error));

    // Hashes alone may be read by others.
    const QByteArray hashed = "id,name,role,badge\nana,Ana,operator,"
                              + hashBadge(QString::fromLatin1(roster::operatorCode), 1000)->text().toLatin1() + "\n";
    path = roster::writeRoster(dir, hashed, shared);
    const auto roster = Roster::readFile(path, &error);
    QVERIFY2(roster, qPrintable(error));
    QCOMPARE(roster->signIn(QString::fromLatin1(roster::operatorCode)).who->id, QStringLiteral("ana"));
    // ... but changed by no one else, who could add themselves as supervisors.
    path = roster::writeRoster(dir, hashed, shared | QFile::WriteGroup);
    QVERIFY(!Roster::readFile(path, &error));
    QVERIFY2(error.contains(QLatin1String("and so make themselves supervisors: chmod go-w")), qPrintable(error));
}

QTEST_GUILESS_MAIN(TestRoster)
#include "tst_roster.moc"
