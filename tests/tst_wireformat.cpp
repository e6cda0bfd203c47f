// SPDX-License-Identifier: MIT
#include "protocol/replygatherer.h"
#include "protocol/replyledger.h"
#include "protocol/values.h"
#include "protocol/wireformat.h"

#include <QRegularExpression>
#include <QtTest>

#include <optional>

Q_DECLARE_METATYPE(Setting)

namespace {

// "absent" in the reply tables; every other string is a present value.
const QString absent = QStringLiteral("<absent>");

QString shown(const std::optional<QString> &value)
{
    return value ? *value : absent;
}

} // namespace

class TestWireFormat : public QObject
{
    Q_OBJECT

private slots:
    void readCommands();
    void writeCommands_data();
    void writeCommands();
    void writeCommandLeavesCallerValue();
    void replyValues_data();
    void replyValues();
    void acknowledgements_data();
    void acknowledgements();
    void frameTexts_data();
    void frameTexts();
    void commandsTravelAsLatin1();
    void parsedCommands_data();
    void parsedCommands();
    void replyTextRoundTrips();
    void validValues_data();
    void validValues();
    void derivedAddresses_data();
    void derivedAddresses();
    void unusableValues_data();
    void unusableValues();
    void gatheredReads_data();
    void gatheredReads();
    void tallies_data();
    void tallies();
    void unaskedReplies_data();
    void unaskedReplies();
};

void TestWireFormat::readCommands()
{
    QStringList sent;
    for (Setting setting : allSettings)
        sent << readCommand(setting);
    QCOMPARE(sent, (QStringList {"RS:RT#", "RS:RG#", "RS:RP#", "RS:RM#"}));
}

void TestWireFormat::writeCommands_data()
{
    QTest::addColumn<Setting>("setting");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("command");

    QTest::newRow("ip") << Setting::IpAddress << "192.168.1.20" << "RS:WT192-168-1-20#";
    QTest::newRow("gateway") << Setting::Gateway << "192.168.1.1" << "RS:WG192-168-1-1#";
    QTest::newRow("port") << Setting::Port << "502" << "RS:WP502#";
    QTest::newRow("mac with colons") << Setting::MacAddress << "AA:BB:CC:DD:EE:FF" << "RS:WMAA-BB-CC-DD-EE-FF#";
    QTest::newRow("mac bare") << Setting::MacAddress << "AABBCCDDEEFF" << "RS:WMAABBCCDDEEFF#";
    QTest::newRow("port empty") << Setting::Port << "" << "RS:WP#";
    QTest::newRow("mac keeps dots") << Setting::MacAddress << "a.b:c" << "RS:WMa.b-c#";
    QTest::newRow("ip keeps colons") << Setting::IpAddress << "1.2:3" << "RS:WT1-2:3#";
    QTest::newRow("dash passes unchanged") << Setting::Gateway << "10-0.0.1" << "RS:WG10-0-0-1#";
}

void TestWireFormat::writeCommands()
{
    QFETCH(Setting, setting);
    QFETCH(QString, value);
    QFETCH(QString, command);
    QCOMPARE(writeCommand(setting, value), command);
}

void TestWireFormat::writeCommandLeavesCallerValue()
{
    const QString value = QStringLiteral("AA:BB");
    writeCommand(Setting::MacAddress, value);
    QCOMPARE(value, QStringLiteral("AA:BB"));
}

void TestWireFormat::replyValues_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("gateway");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("mac");

    QTest::newRow("full reply")
        << "RS:RT192-168-1-20#RS:RG192-168-1-1#RS:RP502#RS:RMAA-BB-CC-DD-EE-FF#"
        << "192.168.1.20" << "192.168.1.1" << "502" << "AA:BB:CC:DD:EE:FF";
    QTest::newRow("port amid noise") << "xxRS:RP21#yy" << absent << absent << "21" << absent;
    QTest::newRow("first occurrence wins, empty is not absent")
        << "RS:RT#RS:RT10-0-0-5#" << "" << absent << absent << absent;
    QTest::newRow("dash in a port") << "RS:RP80-80#" << absent << absent << "80.80" << absent;
    QTest::newRow("dots pass unchanged") << "RS:RT192.168.1.20#" << "192.168.1.20" << absent << absent << absent;
    QTest::newRow("prefix at the very end") << "RS:RP" << absent << absent << "" << absent;
    QTest::newRow("no terminator") << "RS:RT1-2-3-4" << "1.2.3.4" << absent << absent << absent;
    QTest::newRow("no terminator keeps line end") << "RS:RT1-2-3-4\r\n" << "1.2.3.4\r\n" << absent << absent << absent;
    QTest::newRow("unterminated value swallows later replies")
        << "RS:RT1-2RS:RP5#" << "1.2RS:RP5" << absent << "5" << absent;
    QTest::newRow("other letter case is not a prefix") << "rs:rt1-2#RS:rP3#" << absent << absent << absent << absent;
    QTest::newRow("blanks are kept") << "RS:RM a-b #" << absent << absent << absent << " a:b ";
}

void TestWireFormat::replyValues()
{
    QFETCH(QString, reply);
    QTEST(shown(replyValue(reply, Setting::IpAddress)), "ip");
    QTEST(shown(replyValue(reply, Setting::Gateway)), "gateway");
    QTEST(shown(replyValue(reply, Setting::Port)), "port");
    QTEST(shown(replyValue(reply, Setting::MacAddress)), "mac");
}

void TestWireFormat::acknowledgements_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("acknowledged"); // letters of the settings, in table order

    QTest::newRow("all four") << "eth IP address ok\r\neth Gateway ok\r\neth Port ok\r\neth mac address ok" << "TGPM";
    QTest::newRow("mac before ip") << "eth mac address set; eth IP address set" << "TM";
    QTest::newRow("repeated keyword") << "eth Port eth Port eth Port" << "P";
    QTest::newRow("other letter case") << "ETH IP ADDRESS, eth gateway, eth port, eth MAC address" << "";
    QTest::newRow("nothing") << "RS:RT1-2-3-4#" << "";
}

void TestWireFormat::acknowledgements()
{
    QFETCH(QString, text);
    QString found;
    for (Setting setting : allSettings) {
        if (acknowledges(text, setting))
            found += QLatin1Char(settingInfo(setting).letter);
    }
    QTEST(found, "acknowledged");
}

void TestWireFormat::frameTexts_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("text");

    QTest::newRow("plain") << QByteArray("RS:RP502#") << "RS:RP502#";
    QTest::newRow("zero byte dropped") << QByteArray("A\0B", 3) << "AB";
    QTest::newRow("leading zero byte") << QByteArray("\0RS:RP1#", 8) << "RS:RP1#";
    QTest::newRow("latin-1 high byte") << QByteArray("caf\xe9") << QString::fromUtf8("café");
    QTest::newRow("every high byte maps to its code point") << QByteArray("\x80\xff") << QString(QChar(0x80)) + QChar(0xff);
    QTest::newRow("empty") << QByteArray() << "";
}

void TestWireFormat::frameTexts()
{
    QFETCH(QByteArray, frame);
    QTEST(frameText(frame), "text");
}

void TestWireFormat::commandsTravelAsLatin1()
{
    const QByteArray bytes = commandBytes(writeCommand(Setting::Port, QStringLiteral("502")));
    QCOMPARE(bytes, QByteArray("RS:WP502#"));
    QCOMPARE(bytes.size(), 9); // no line end, no terminating zero
}

void TestWireFormat::parsedCommands_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("parsed"); // "R T", "W M AA:BB", or "-" for malformed

    QTest::newRow("read") << "RS:RT#" << "R T ";
    QTest::newRow("write ip") << "RS:WT192-168-1-20#" << "W T 192.168.1.20";
    QTest::newRow("write mac") << "RS:WMAA-BB-CC-DD-EE-FF#" << "W M AA:BB:CC:DD:EE:FF";
    QTest::newRow("write empty") << "RS:WP#" << "W P ";
    QTest::newRow("read with value") << "RS:RT5#" << "-";
    QTest::newRow("unknown letter") << "RS:RX#" << "-";
    QTest::newRow("unknown direction") << "RS:XT#" << "-";
    QTest::newRow("no terminator") << "RS:RT" << "-";
    QTest::newRow("lower case") << "rs:rt#" << "-";
    QTest::newRow("leading noise") << "xRS:RT#" << "-";
    QTest::newRow("two commands") << "RS:WT1#RS:RT#" << "-";
}

void TestWireFormat::parsedCommands()
{
    QFETCH(QString, text);
    const auto command = parseCommand(text);
    const QString parsed = !command ? QStringLiteral("-")
                                    : QString(QLatin1Char(command->write ? 'W' : 'R')) + QLatin1Char(' ')
                                          + QLatin1Char(settingInfo(command->setting).letter) + QLatin1Char(' ')
                                          + command->formValue;
    QTEST(parsed, "parsed");
}

void TestWireFormat::replyTextRoundTrips()
{
    for (Setting setting : allSettings) {
        const QString value = setting == Setting::MacAddress ? QStringLiteral("AA:BB:CC:DD:EE:FF")
                                                             : QStringLiteral("10.0.0.7");
        const QString reply = replyText(setting, value);
        QVERIFY(reply.startsWith(QLatin1String(settingInfo(setting).replyPrefix)));
        QVERIFY(!reply.mid(5).contains(QLatin1Char(settingInfo(setting).formSeparator)));
        QCOMPARE(replyValue(QStringLiteral("noise") + reply + QStringLiteral("RS:RT#"), setting), value);
        QCOMPARE(settingForKey(QLatin1String(settingInfo(setting).key)), setting);
    }
    QCOMPARE(settingForKey(QStringLiteral("IP")), std::nullopt);
}

void TestWireFormat::validValues_data()
{
    QTest::addColumn<Setting>("setting");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("valid");

    QTest::newRow("ip") << Setting::IpAddress << "192.168.1.20" << true;
    QTest::newRow("ip extremes") << Setting::IpAddress << "0.0.0.255" << true;
    QTest::newRow("ip 256") << Setting::IpAddress << "192.168.1.256" << false;
    QTest::newRow("ip 999") << Setting::IpAddress << "999.1.1.1" << false;
    QTest::newRow("ip double dot") << Setting::IpAddress << "192..168.1.1" << false;
    QTest::newRow("ip three fields") << Setting::IpAddress << "192.168.1" << false;
    QTest::newRow("ip from unknown host") << Setting::IpAddress << ".1" << false;
    QTest::newRow("ip empty") << Setting::IpAddress << "" << false;
    QTest::newRow("ip trailing blank") << Setting::IpAddress << "10.0.0.1 " << false;
    QTest::newRow("ip leading zero") << Setting::IpAddress << "10.0.0.01" << false;
    QTest::newRow("ip other digits") << Setting::IpAddress << QString::fromUtf8("10.0.0.\u0661") << false;
    QTest::newRow("gateway") << Setting::Gateway << "10.0.0.1" << true;
    QTest::newRow("gateway empty") << Setting::Gateway << "" << false;
    QTest::newRow("port 0") << Setting::Port << "0" << true;
    QTest::newRow("port 65535") << Setting::Port << "65535" << true;
    QTest::newRow("port 65536") << Setting::Port << "65536" << false;
    QTest::newRow("port 99999") << Setting::Port << "99999" << false;
    QTest::newRow("port leading zero") << Setting::Port << "0502" << false;
    QTest::newRow("port sign") << Setting::Port << "+502" << false;
    QTest::newRow("port empty") << Setting::Port << "" << false;
    QTest::newRow("mac bare") << Setting::MacAddress << "AABBCCddeeff" << true;
    QTest::newRow("mac colons") << Setting::MacAddress << "AA:BB:CC:DD:EE:FF" << true;
    QTest::newRow("mac dashes") << Setting::MacAddress << "aa-bb-cc-dd-ee-ff" << true;
    QTest::newRow("mac mixed separators") << Setting::MacAddress << "AA:BB-CC:DD:EE:FF" << false;
    QTest::newRow("mac not hex") << Setting::MacAddress << "AABBCCDDEEFG" << false;
    QTest::newRow("mac short") << Setting::MacAddress << "AA:BB:CC:DD:EE" << false;
    QTest::newRow("mac empty") << Setting::MacAddress << "" << false;
}

void TestWireFormat::validValues()
{
    QFETCH(Setting, setting);
    QFETCH(QString, value);
    QTEST(isValidValue(setting, value), "valid");
    // The typing validators take the pattern: the two agree.
    QTEST(QRegularExpression(QRegularExpression::anchoredPattern(valuePattern(setting))).match(value).hasMatch(), "valid");
}

void TestWireFormat::derivedAddresses_data()
{
    QTest::addColumn<QString>("hostIp");
    QTest::addColumn<QString>("next");
    QTest::addColumn<QString>("gateway");
    QTest::addColumn<QString>("autoRefusal"); // part of Auto's reason to send nothing

    QTest::newRow("ordinary") << "192.168.1.20" << "192.168.1.21" << "192.168.1.1" << "";
    QTest::newRow("254 caps at 255") << "192.168.1.254" << "192.168.1.255" << "192.168.1.1"
                                     << "192.168.1.255, the broadcast address of 192.168.1.0/24";
    QTest::newRow("255 stays 255") << "192.168.1.255" << "192.168.1.255" << "192.168.1.1" << "broadcast";
    QTest::newRow("onto the gateway") << "10.0.0.0" << "10.0.0.1" << "10.0.0.1" << "the gateway's address";
    QTest::newRow("mask is ignored") << "172.16.254.3" << "172.16.254.4" << "172.16.254.1" << "";
    QTest::newRow("unknown host") << "" << ".1" << ".1" << "no address to derive from";
    QTest::newRow("huge last field") << "10.0.0.4294967295" << "10.0.0.255" << "10.0.0.1"
                                     << "no address to derive from";
}

void TestWireFormat::derivedAddresses()
{
    QFETCH(QString, hostIp);
    QFETCH(QString, autoRefusal);
    QTEST(nextAddress(hostIp), "next");
    QTEST(gatewayFor(hostIp), "gateway");
    const AutoAddress derived = deriveAutoAddress(hostIp, gatewayFor(hostIp));
    QVERIFY2(autoRefusal.isEmpty() ? derived.error.isEmpty() : derived.error.contains(autoRefusal),
             qPrintable(derived.error));
}

void TestWireFormat::unusableValues_data()
{
    QTest::addColumn<Setting>("setting");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("reason"); // empty: usable
    QTest::addColumn<QString>("canonical");

    QTest::newRow("ordinary ip") << Setting::IpAddress << "10.0.0.9" << "" << "10.0.0.9";
    QTest::newRow("this network") << Setting::IpAddress << "0.1.2.3" << "in 0.0.0.0/8, which no device can use" << "0.1.2.3";
    QTest::newRow("loopback gateway") << Setting::Gateway << "127.0.0.1" << "a loopback address" << "127.0.0.1";
    QTest::newRow("multicast") << Setting::IpAddress << "224.0.0.251" << "a multicast address" << "224.0.0.251";
    QTest::newRow("reserved") << Setting::IpAddress << "255.255.255.255" << "a reserved or broadcast address"
                              << "255.255.255.255";
    QTest::newRow("leading zeros read back") << Setting::IpAddress << "192.168.001.020" << "" << "192.168.1.20";
    QTest::newRow("port leading zeros") << Setting::Port << "0502" << "" << "502";
    QTest::newRow("ordinary mac") << Setting::MacAddress << "02-00-5e-10-00-01" << "" << "02:00:5E:10:00:01";
    QTest::newRow("group mac") << Setting::MacAddress << "01005E000001" << "a group address: its first byte is odd"
                               << "01:00:5E:00:00:01";
    QTest::newRow("zero mac") << Setting::MacAddress << "00:00:00:00:00:00" << "all zeros" << "00:00:00:00:00:00";
    QTest::newRow("broadcast mac") << Setting::MacAddress << "ff:ff:ff:ff:ff:ff" << "the broadcast address"
                                   << "FF:FF:FF:FF:FF:FF";
}

void TestWireFormat::unusableValues()
{
    QFETCH(Setting, setting);
    QFETCH(QString, value);
    QTEST(unusableReason(setting, value), "reason");
    QTEST(canonicalValue(setting, value), "canonical");

    // The check before a write names the first value that must not go.
    std::array<std::optional<QString>, allSettings.size()> values;
    values[static_cast<std::size_t>(setting)] = value;
    const auto problem = checkValues(values);
    QFETCH(QString, reason);
    QCOMPARE(problem.has_value(), !reason.isEmpty() || !isValidValue(setting, value));
    values = {QStringLiteral("10.0.0.1"), QStringLiteral("10.0.0.1"), std::nullopt, std::nullopt};
    QCOMPARE(checkValues(values)->reason, QStringLiteral("the same as the gateway"));
}

// Frames fed one by one; then what is complete before the request's time is
// up, and each value after it.
void TestWireFormat::gatheredReads_data()
{
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<QString>("completeEarly"); // letters, table order
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("gateway");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("mac");

    QTest::newRow("frame boundaries inside values")
        << QStringList {"RS:RT192-168-1-2", "0#RS:RG192-168-1-1#RS:RP5", "02#RS:RMAA-BB-CC-DD-EE-", "FF#"}
        << "TGPM" << "192.168.1.20" << "192.168.1.1" << "502" << "AA:BB:CC:DD:EE:FF";
    QTest::newRow("prefix cut between frames") << QStringList {"xxRS:R", "P21#"} << "P" << absent << absent << "21"
                                               << absent;
    QTest::newRow("echoed commands, then the answer")
        << QStringList {"RS:RT#RS:RG#RS:RP#RS:RM#", "RS:RT10-0-0-5#RS:RG10-0-0-1#RS:RP7#RS:RM02-00-00-00-00-01#"}
        << "TGPM" << "10.0.0.5" << "10.0.0.1" << "7" << "02:00:00:00:00:01";
    QTest::newRow("only empty occurrences") << QStringList {"RS:RT#", "RS:RP#RS:RT#"} << "" << "" << absent << ""
                                            << absent;
    QTest::newRow("no terminator by the end") << QStringList {"RS:RT1-2-3-4\r\n"} << "" << "1.2.3.4\r\n" << absent
                                              << absent << absent;
    QTest::newRow("a prefix flooded past any value is given up")
        << QStringList {"RS:RP", QString(ReadGatherer::longestValue + 1, QLatin1Char('x')), "RS:RP8#"} << "P"
        << absent << absent << "8" << absent;
    QTest::newRow("refusal") << QStringList {"ERR unknown command\r\n"} << "" << absent << absent << absent << absent;
}

void TestWireFormat::gatheredReads()
{
    QFETCH(QStringList, frames);
    ReadGatherer gatherer;
    SettingSet early;
    for (const QString &frame : frames)
        early = early | gatherer.feed(frame);
    QString letters;
    for (Setting setting : early.toList())
        letters += QLatin1Char(settingInfo(setting).letter);
    QTEST(letters, "completeEarly");
    QCOMPARE(gatherer.isComplete(), letters.size() == 4);

    const SettingSet late = gatherer.finish();
    QCOMPARE(late | early, gatherer.complete());
    QTEST(shown(gatherer.value(Setting::IpAddress)), "ip");
    QTEST(shown(gatherer.value(Setting::Gateway)), "gateway");
    QTEST(shown(gatherer.value(Setting::Port)), "port");
    QTEST(shown(gatherer.value(Setting::MacAddress)), "mac");
}

// Events in order: "T>" sends the setting with that letter, anything else
// is received text.
void TestWireFormat::tallies_data()
{
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QString>("acknowledged");

    QTest::newRow("all four in one frame")
        << QStringList {"T>", "G>", "P>", "M>", "eth mac address eth Port eth Gateway eth IP address"} << "TGPM";
    QTest::newRow("keyword cut by a frame boundary") << QStringList {"P>", "OK eth Po", "rt 502"} << "P";
    QTest::newRow("text before the command does not count")
        << QStringList {"T>", "eth IP address, eth Gateway", "G>", "OK"} << "T";
    QTest::newRow("refusal") << QStringList {"T>", "ERR bad value"} << "";
}

void TestWireFormat::tallies()
{
    QFETCH(QStringList, events);
    QFETCH(QString, acknowledged);
    WriteTally tally;
    for (const QString &event : events) {
        const auto setting = event.size() == 2 && event.endsWith(QLatin1Char('>')) ? settingForLetter(event.at(0))
                                                                                   : std::nullopt;
        if (setting)
            tally.sent(*setting);
        else
            tally.feed(event);
    }
    QString letters;
    for (Setting setting : tally.acknowledged().toList())
        letters += QLatin1Char(settingInfo(setting).letter);
    QCOMPARE(letters, acknowledged);
    QCOMPARE(tally.isComplete(), tally.missing().isEmpty());
    QCOMPARE(tally.acknowledged() | tally.missing(), tally.sentSettings());
}

// Events in order: "T?" asks for the setting with that letter, "+N" lets N
// ms pass, anything else is received text.
void TestWireFormat::unaskedReplies_data()
{
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QString>("unasked"); // letters, as they came

    QTest::newRow("each answer asked for, in pieces")
        << QStringList {"M?", "M?", "RS:RM02-00-00", "-00-10-01#RS:R", "M02-00-00-00-10-01#"} << "";
    QTest::newRow("a read on the other leg") << QStringList {"M?", "RS:RT10-0-5-21#RS:RG10-0-5-1#RS:RM02-00-00-00-10-01#"}
                                             << "TG";
    QTest::newRow("a probe too many") << QStringList {"M?", "RS:RM02-00-00-00-10-01#RS:RM02-00-00-00-10-01#"} << "M";
    QTest::newRow("a late answer to an earlier read") << QStringList {"T?", "T?", "RS:RT10-0-5-21#", "RS:RT10-0-5-21#"} << "";
    QTest::newRow("echoes and noise carry no value")
        << QStringList {"RS:RT#RS:RM#", "RS:RT\x01\xff#", "RS:RPeth#", "RS:RX1#"} << "";
    QTest::newRow("a slow module's answer") << QStringList {"P?", "+2900", "RS:RP502#"} << "";
    QTest::newRow("nothing is owed long after") << QStringList {"P?", "M?", "+3100", "RS:RP502#", "M?", "RS:RM02-00-00-00-10-01#"}
                                                << "P";
}

void TestWireFormat::unaskedReplies()
{
    QFETCH(QStringList, events);
    ReplyLedger ledger;
    QString letters;
    qint64 now = 0;
    for (const QString &event : events) {
        const auto setting = event.size() == 2 && event.endsWith(QLatin1Char('?')) ? settingForLetter(event.at(0))
                                                                                   : std::nullopt;
        if (setting) {
            ledger.asked(*setting, now);
        } else if (event.startsWith(QLatin1Char('+'))) {
            now += event.mid(1).toInt();
        } else {
            for (Setting unasked : ledger.take(event, now))
                letters += QLatin1Char(settingInfo(unasked).letter);
        }
    }
    QTEST(letters, "unasked");
}

QTEST_APPLESS_MAIN(TestWireFormat)
#include "tst_wireformat.moc"
