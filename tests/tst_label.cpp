// SPDX-License-Identifier: MIT
// Labels read back by programs nobody here wrote: poppler renders and reads
// the PDF and zbar decodes its code; ZPL is taken apart by a loopback
// listener; CUPS jobs go through a cupsd of the test's own. Every label is
// printed as an operator gets it, by vev-cli label or provision through the
// vev-label helper, with no display.

#include "cupsserver.h"
#include "productionline.h"
#include "programrun.h"
#include "simprocess.h"
#include "tamper.h"

#include <QImage>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString mac = QStringLiteral("02:00:00:00:10:01");
constexpr double mmPerInch = 25.4;
constexpr double pointsPerInch = 72;
constexpr int renderDpi = 600;
constexpr int programMs = 60000;

// What poppler and zbar make of a label's PDF, with the code and the text
// measured on a rendering at 600 dpi.
struct Reading {
    QString error;
    QString decoded;
    QString text;
    QSizeF pageMm;
    double moduleMm = 0;
    bool quietZone = false;
    double capHeightMm = 0; // the ink of the word "MAC"
};

// A label printed on a larger sheet is read in its corner (labelMm).
Reading readPdf(const QString &pdf, const QSizeF &labelMm = QSizeF())
{
    Reading reading;
    QTemporaryDir dir;
    const QString page = dir.filePath(QStringLiteral("page"));
    QStringList crop;
    if (labelMm.isValid()) {
        crop = QStringList {"-x", "0", "-y", "0", "-W", QString::number(int(labelMm.width() / mmPerInch * renderDpi)),
                            "-H", QString::number(int(labelMm.height() / mmPerInch * renderDpi))};
    }
    const ProgramRun render = runProgram(QStringLiteral("pdftoppm"),
        QStringList {"-r", QString::number(renderDpi), "-gray", "-singlefile", pdf, page} + crop);
    const ProgramRun info = runProgram(QStringLiteral("pdfinfo"), {pdf});
    const ProgramRun words = runProgram(QStringLiteral("pdftotext"), {"-bbox", pdf, "-"});
    const QImage image(page + QStringLiteral(".pgm"));
    if (render.code != 0 || info.code != 0 || words.code != 0 || image.isNull()) {
        reading.error = QStringLiteral("poppler: ") + render.err + info.err + words.err;
        return reading;
    }
    reading.decoded = QString::fromLatin1(runProgram(QStringLiteral("zbarimg"), {"--nodbus", "--raw", "-q", page + QStringLiteral(".pgm")}).out);
    reading.text = QString::fromUtf8(runProgram(QStringLiteral("pdftotext"), {pdf, "-"}).out).simplified();
    const auto size = QRegularExpression(QStringLiteral(R"(Page size:\s+([\d.]+) x ([\d.]+) pts)")).match(QString::fromLatin1(info.out));
    reading.pageMm = QSizeF(size.captured(1).toDouble(), size.captured(2).toDouble()) * mmPerInch / pointsPerInch;

    const auto dark = [&image](int x, int y) { return image.valid(x, y) && qGray(image.pixel(x, y)) < 128; };
    const double mmPerPixel = mmPerInch / renderDpi;
    // The code's top left corner is the dark pixel nearest the label's; its
    // finder pattern is 7 modules wide, and the one at the right ends it.
    QPoint corner(image.width(), image.height());
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width() && x + y < corner.x() + corner.y(); ++x) {
            if (dark(x, y))
                corner = QPoint(x, y);
        }
    }
    int finder = 0;
    while (dark(corner.x() + finder, corner.y()))
        ++finder;
    const double module = finder / 7.0;
    reading.moduleMm = module * mmPerPixel;
    int right = corner.x() + finder;
    for (int x = right, run = 0; x < image.width(); ++x) {
        run = dark(x, corner.y()) ? run + 1 : 0;
        if (run > 0 && !dark(x + 1, corner.y()) && std::abs(run - finder) < module) {
            right = x + 1;
            break;
        }
    }
    // A pixel each way for the rendering's blur.
    const QRect symbol = QRect(corner, QSize(right - corner.x(), right - corner.x())).adjusted(0, 0, 1, 1);
    const int quiet = int(4 * module) - 1;
    const QRect zone = symbol.adjusted(-quiet, -quiet, quiet, quiet);
    reading.quietZone = image.rect().contains(zone);
    for (int y = zone.top(); y <= zone.bottom() && reading.quietZone; ++y) {
        for (int x = zone.left(); x <= zone.right(); ++x) {
            if (!symbol.contains(x, y) && dark(x, y))
                reading.quietZone = false;
        }
    }

    const auto box = QRegularExpression(QStringLiteral(R"re(xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">MAC<)re"))
                         .match(QString::fromUtf8(words.out));
    const double scale = renderDpi / pointsPerInch;
    int top = image.height();
    int bottom = -1;
    for (int y = int(box.captured(2).toDouble() * scale); y <= box.captured(4).toDouble() * scale; ++y) {
        for (int x = int(box.captured(1).toDouble() * scale); x <= box.captured(3).toDouble() * scale; ++x) {
            if (dark(x, y)) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    reading.capHeightMm = (bottom - top + 1) * mmPerPixel;
    return reading;
}

QProcessEnvironment withoutDisplay()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    // A platform that does not exist: a program that asked for one would die.
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("vev-no-such-platform"));
    return environment;
}

ProgramRun cli(const QStringList &arguments, const QProcessEnvironment &environment = withoutDisplay())
{
    return runProgram(QStringLiteral(VEV_CLI_PATH), arguments, environment, programMs);
}

// vev-cli label for one module, with these options.
ProgramRun label(const QStringList &options, const QProcessEnvironment &environment = withoutDisplay())
{
    return cli(QStringList {"label", "--ip", "10.0.5.21", "--gateway", "10.0.5.1", "--tcp-port", "502", "--mac",
                            "02-00-00-00-10-01"} + options, environment);
}

// The host status a ready printer gives: its paper-out, pause, head-up,
// ribbon-out and thermal transfer flags all 0.
const QByteArray readyStatus = "\x02" "030,0,0,0245,000,0,0,0,000,0,0,0\x03\r\n"
                               "\x02" "001,0,0,0,0,2,6,0,00000000,1,000\x03\r\n\x02" "1234,0\x03\r\n";

// A ZPL printer on loopback: it takes what comes and answers the host status
// with status, or says nothing; closes once it has read what came; drops
// the connection with the label unread (the reset is all the sender sees);
// or never reads at all.
class LoopbackPrinter : public QTcpServer
{
public:
    enum class Mode { Reads, Closes, Drops, Deaf };
    explicit LoopbackPrinter(Mode mode = Mode::Reads, const QByteArray &status = {})
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this, mode, status] {
            QTcpSocket *socket = nextPendingConnection();
            // One byte read at a time: what the system holds beyond it stays unread.
            if (mode == Mode::Drops || mode == Mode::Deaf)
                socket->setReadBufferSize(1);
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket, mode, status] {
                if (mode == Mode::Deaf)
                    return;
                if (mode == Mode::Drops)
                    return socket->close();
                received += socket->readAll();
                if (received.endsWith("~HS\n") && !status.isEmpty())
                    socket->write(status);
                if (mode == Mode::Closes)
                    socket->disconnectFromHost();
            });
        });
    }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(serverPort()); }
    QByteArray received;
};

// The module given a row of plan3, and its file in a --labels folder.
QString macOfRow(int row)
{
    return QStringLiteral("02:00:00:00:10:0%1").arg(row);
}

QString labelFile(const QString &dir, int row)
{
    return QDir(dir).filePath(macOfRow(row).remove(QLatin1Char(':')) + QStringLiteral(".pdf"));
}

} // namespace

class TestLabel : public QObject
{
    Q_OBJECT

private slots:
    void pdfReadsBack_data();
    void pdfReadsBack();
    void refusedOrNotPrinted_data();
    void refusedOrNotPrinted();
    void zplFieldByField_data();
    void zplFieldByField();
    void zplStatus_data();
    void zplStatus();
    void cupsPrinter();
    void provisionPrintsForPasses();
    void provisionWithUnprintedLabel();
};

void TestLabel::pdfReadsBack_data()
{
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("dpi");
    QTest::addColumn<QSizeF>("pageMm");
    QTest::addColumn<QStringList>("serial"); // the options that give the unit's serial
    QTest::addColumn<QString>("code");       // what the QR code holds
    const QString bare = mac;
    QTest::newRow("default") << "62x29" << "203" << QSizeF(62, 29) << QStringList() << bare;
    QTest::newRow("300 dpi") << "62x29" << "300" << QSizeF(62, 29) << QStringList() << bare;
    QTest::newRow("upright: text below the code") << "40x60" << "203" << QSizeF(40, 60) << QStringList() << bare;
    QTest::newRow("the smallest a refusal names") << "" << "300" << QSizeF() << QStringList() << bare;
    QTest::newRow("a serial, as text") << "62x29" << "203" << QSizeF(62, 29) << QStringList {"--serial", "SN-4711/B"}
                                       << bare;
    QTest::newRow("a serial in the code too") << "62x29" << "300" << QSizeF(62, 29)
                                              << QStringList {"--serial", "SN-4711/B", "--label-qr", "serial+mac"}
                                              << "SN-4711/B;" + mac;
}

void TestLabel::pdfReadsBack()
{
    QFETCH(QString, size);
    QFETCH(QString, dpi);
    QFETCH(QSizeF, pageMm);
    QFETCH(QStringList, serial);
    QFETCH(QString, code);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("label.pdf"));
    const QStringList options = QStringList {"--row", "7", "--dpi", dpi, "--pdf", pdf} + serial;
    if (size.isEmpty()) {
        const ProgramRun refused = label(options + QStringList {"--label-size", "20x10"});
        const auto least = QRegularExpression(QStringLiteral(R"(at least (([\d.]+)x([\d.]+)) mm side by side)")).match(refused.err);
        QVERIFY2(refused.code == 2 && least.hasMatch(), qPrintable(refused.err));
        size = least.captured(1);
        pageMm = QSizeF(least.captured(2).toDouble(), least.captured(3).toDouble());
    }
    const ProgramRun run = label(options + QStringList {"--label-size", size});
    QVERIFY2(run.code == 0, qPrintable(run.err));
    const Reading reading = readPdf(pdf);
    QVERIFY2(reading.error.isEmpty(), qPrintable(reading.error));
    QCOMPARE(reading.decoded, code + QLatin1Char('\n'));
    if (!serial.isEmpty())
        QVERIFY2(reading.text.contains(QStringLiteral("S/N ") + serial.at(1)), qPrintable(reading.text));
    // Qt sets page sizes in whole points, 0.35 mm.
    QVERIFY2(std::abs(reading.pageMm.width() - pageMm.width()) < 0.2
                 && std::abs(reading.pageMm.height() - pageMm.height()) < 0.2,
             qPrintable(QStringLiteral("%1x%2 mm").arg(reading.pageMm.width()).arg(reading.pageMm.height())));
    const QString date = QDate::currentDate().toString(Qt::ISODate);
    for (const QString &expected : QStringList {"MAC " + mac, "IP 10.0.5.21", "Gateway 10.0.5.1", "TCP port 502",
                                                "Row 7 " + date})
        QVERIFY2(reading.text.contains(expected), qPrintable(reading.text));
    QVERIFY2(reading.moduleMm >= 0.375, qPrintable(QString::number(reading.moduleMm)));
    QVERIFY(reading.quietZone);
    QVERIFY2(reading.capHeightMm >= 2.0, qPrintable(QString::number(reading.capHeightMm)));
}

void TestLabel::refusedOrNotPrinted_data()
{
    // LABEL is vev-cli label with a module's values; a provision's label
    // target is checked before any port is opened.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("named");
    const QStringList label {"LABEL"};
    const QStringList provision {"provision", "--plan", "PLAN", "--audit", "AUDIT", "--port", "/dev/vev-no-such-port"};
    QTest::newRow("ip") << label + QStringList {"--ip", "10.0.5.256", "--pdf", "PDF"} << 2 << "10.0.5.256";
    QTest::newRow("group mac") << label + QStringList {"--mac", "01:00:5e:00:00:01", "--pdf", "PDF"} << 2 << "group address";
    QTest::newRow(".255 without --force") << label + QStringList {"--ip", "10.0.5.255", "--pdf", "PDF"} << 2 << "--force";
    QTest::newRow("no output") << label << 2 << "one of";
    QTest::newRow("two outputs") << label + QStringList {"--pdf", "PDF", "--printer", "x"} << 2 << "one of";
    QTest::newRow("provision's option") << label + QStringList {"--label-zpl", "x:1", "--pdf", "PDF"} << 2 << "label does not take --label-zpl";
    QTest::newRow("printer address") << label + QStringList {"--zpl", "fd00::9:9100"} << 2 << "HOST:PORT";
    QTest::newRow("size") << label + QStringList {"--label-size", "62", "--pdf", "PDF"} << 2 << "WxH";
    QTest::newRow("size too small") << label + QStringList {"--label-size", "44x18.5", "--pdf", "PDF"} << 2 << "too small";
    QTest::newRow("dpi") << label + QStringList {"--dpi", "600", "--pdf", "PDF"} << 2 << "203 or 300";
    QTest::newRow("row") << label + QStringList {"--row", "0", "--pdf", "PDF"} << 2 << "--row";
    QTest::newRow("audit and values") << label + QStringList {"--audit", "AUDIT", "--pdf", "PDF"} << 2 << "--row N or --mac M";
    QTest::newRow("unwritable file") << label + QStringList {"--pdf", "/vev-no-such-dir/label.pdf"} << 13 << "/vev-no-such-dir";
    // Nothing listens on TCP port 1 (tcpmux) of a machine that runs tests.
    QTest::newRow("nobody listens") << label + QStringList {"--zpl", "127.0.0.1:1"} << 13 << "did not accept the connection: ";
    QTest::newRow("never accepted") << label + QStringList {"--zpl", "FULL"} << 13 << "did not accept the connection within 3 s";
    QTest::newRow("no such CUPS printer") << label + QStringList {"--printer", "vev-no-such-printer"} << 13 << "no printer named";
    QTest::newRow("provision: too small for the plan") << provision + QStringList {"--labels", "DIR", "--label-size", "40x20"} << 2 << "too small";
    QTest::newRow("provision: no folder") << provision + QStringList {"--labels", "DIR/none"} << 13 << "is not a folder";
    QTest::newRow("provision: no printer") << provision + QStringList {"--label-printer", "vev-no-such-printer"} << 13 << "no printer named";
    QTest::newRow("provision: label's option") << provision + QStringList {"--pdf", "PDF"} << 2 << "provision does not take --pdf";
}

void TestLabel::refusedOrNotPrinted()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, code);
    QFETCH(QString, named);
    QTemporaryDir dir;
    // A printer whose queue of connections is full: ours is never accepted.
    const int full = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    QVERIFY(::bind(full, reinterpret_cast<sockaddr *>(&address), length) == 0 && ::listen(full, 0) == 0
            && ::getsockname(full, reinterpret_cast<sockaddr *>(&address), &length) == 0);
    QTcpSocket queued;
    queued.connectToHost(QHostAddress::LocalHost, ntohs(address.sin_port));
    QVERIFY(queued.waitForConnected(5000));
    const QString pdf = dir.filePath(QStringLiteral("label.pdf"));
    const QString audit = dir.filePath(QStringLiteral("audit.jsonl"));
    const QStringList replaced[] = {{"PDF", pdf}, {"AUDIT", audit}, {"PLAN", writeFile(dir, QStringLiteral("plan.csv"), plan3)},
                                    {"DIR", dir.path()},
                                    {"FULL", QStringLiteral("127.0.0.1:%1").arg(ntohs(address.sin_port))}};
    for (const QStringList &pair : replaced)
        arguments.replaceInStrings(pair.at(0), pair.at(1));
    const ProgramRun run = arguments.first() == QLatin1String("LABEL") ? label(arguments.mid(1)) : cli(arguments);
    ::close(full);
    QCOMPARE(run.code, code);
    QVERIFY2(run.err.startsWith("vev-cli: ") && run.err.contains(named), qPrintable(run.err));
    QVERIFY(!QFile::exists(pdf));
    QVERIFY(auditKinds(audit).isEmpty());
}

void TestLabel::zplFieldByField_data()
{
    QTest::addColumn<int>("dpi");
    QTest::newRow("203 dpi") << 203;
    QTest::newRow("300 dpi") << 300;
}

void TestLabel::zplFieldByField()
{
    QFETCH(int, dpi);
    LoopbackPrinter printer(LoopbackPrinter::Mode::Reads, readyStatus);
    const ProgramRun run = label({"--row", "7", "--dpi", QString::number(dpi), "--zpl", printer.address()});
    QVERIFY2(run.code == 0 && run.out.contains("printed to"), qPrintable(run.err));
    // The label, then the question whose answer says it can be printed.
    QVERIFY2(printer.received.endsWith("^XZ\n~HS\n"), printer.received.constData());
    const QByteArray zpl = printer.received.chopped(4);

    const double dotsPerMm = dpi / mmPerInch;
    QVERIFY2(zpl.startsWith("^XA\n") && zpl.endsWith("^XZ\n"), zpl.constData());
    QVERIFY(zpl.contains(QByteArray("^PW" + QByteArray::number(int(62 * dotsPerMm)) + '\n')));
    QVERIFY(zpl.contains(QByteArray("^LL" + QByteArray::number(int(29 * dotsPerMm)) + '\n')));
    const auto code = QRegularExpression(QStringLiteral(R"(\^FO(\d+),(\d+)\^BQN,2,(\d+)\^FDMA,([^^]*)\^FS)")).match(QString::fromLatin1(zpl));
    QVERIFY2(code.hasMatch(), zpl.constData());
    QCOMPARE(code.captured(4), mac);
    const int module = code.captured(3).toInt();
    QVERIFY(module >= 0.375 * dotsPerMm);
    const QRect quietZone = QRect(code.captured(1).toInt(), code.captured(2).toInt(), 21 * module, 21 * module)
                                .adjusted(-4 * module, -4 * module, 4 * module, 4 * module);
    QVERIFY(QRect(0, 0, int(62 * dotsPerMm), int(29 * dotsPerMm)).contains(quietZone));

    QStringList texts;
    auto fields = QRegularExpression(QStringLiteral(R"(\^FT(\d+),(\d+)\^A0N,(\d+),(\d+)\^FD([^^]*)\^FS)")).globalMatch(QString::fromLatin1(zpl));
    while (fields.hasNext()) {
        const auto field = fields.next();
        texts << field.captured(5);
        // Capitals of 2 mm even where the printer's font sets them at 0.7 of its height.
        QVERIFY(field.captured(3).toInt() * 0.7 >= 2 * dotsPerMm);
        QVERIFY(field.captured(1).toInt() > quietZone.right() && field.captured(2).toInt() < 29 * dotsPerMm);
    }
    const QString date = QDate::currentDate().toString(Qt::ISODate);
    QCOMPARE(texts, (QStringList {"MAC " + mac, "IP 10.0.5.21", "Gateway 10.0.5.1", "TCP port 502", "Row 7  " + date}));
}

void TestLabel::cupsPrinter()
{
    CupsServer cups(QStringLiteral("LabelTest"));
    QVERIFY2(cups.isRunning(), qPrintable(cups.error()));
    QProcessEnvironment environment = withoutDisplay();
    environment.insert(QStringLiteral("CUPS_SERVER"), cups.socketPath());
    ProgramRun run = label({"--printer", "LabelTest"}, environment);
    QVERIFY2(run.code == 0, qPrintable(run.err));
    // The PDF printer wraps the PDF in printer job language.
    const auto whole = [&cups] {
        QFile output(cups.outputPath());
        return output.open(QIODevice::ReadOnly) && output.readAll().contains("%%EOF");
    };
    QTRY_VERIFY_WITH_TIMEOUT(whole(), 20000);
    // The PDF printer's driver puts the label on a sheet of its own size.
    const Reading reading = readPdf(cups.outputPath(), QSizeF(62, 29));
    QCOMPARE(reading.decoded, mac + QLatin1Char('\n'));
    QVERIFY2(reading.text.contains("IP 10.0.5.21"), qPrintable(reading.text));

    QVERIFY2(cups.run(QStringLiteral("cupsreject"), {"LabelTest"}), qPrintable(cups.error()));
    run = label({"--printer", "LabelTest"}, environment);
    QCOMPARE(run.code, 13);
    QVERIFY2(run.err.startsWith("vev-cli: printer \"LabelTest\" refused the label: "), qPrintable(run.err));
}

void TestLabel::provisionPrintsForPasses()
{
    // Two lanes: modules that pass, and one that keeps its old values.
    SimProcess honest({"--line", "2", "--off-after", "100", "--plug-gap", "200"});
    SimProcess lying({"--line", "1", "--off-after", "100", "--plug-gap", "200", "--ignore-writes"});
    QVERIFY2(honest.isRunning() && lying.isRunning(), qPrintable(honest.error() + lying.error()));
    QTemporaryDir dir;
    const QString audit = dir.filePath(QStringLiteral("audit.jsonl"));
    const QString labels = dir.filePath(QStringLiteral("labels"));
    QVERIFY(QDir().mkpath(labels));
    const ProgramRun run = cli(provision(writeFile(dir, QStringLiteral("plan.csv"), plan3), audit,
                                         {"--labels", labels, "--port", honest.devicePath(), "--port", lying.devicePath()}));
    QVERIFY2(run.code == 9, qPrintable(run.err)); // the failed row's code: the labels were printed

    // Each pass has its label's line after its outcome, and its file; the failure has neither.
    const QStringList kinds = auditKinds(audit);
    QStringList files;
    int failed = 0;
    for (int row = 1; row <= 3; ++row) {
        const int outcome = kinds.indexOf(QStringLiteral("outcome %1 pass").arg(row));
        const int label = kinds.indexOf(QRegularExpression(QStringLiteral("label %1 .*").arg(row)));
        QVERIFY2(outcome < 0 ? label < 0 : label == kinds.indexOf(QStringLiteral("label %1 printed").arg(row)) && label > outcome,
                 qPrintable(kinds.join(QLatin1Char(','))));
        if (outcome < 0) {
            failed = row;
            continue;
        }
        files << QFileInfo(labelFile(labels, row)).fileName();
        QCOMPARE(readPdf(labelFile(labels, row)).decoded, macOfRow(row) + QLatin1Char('\n'));
    }
    QVERIFY(failed > 0);
    QCOMPARE(QDir(labels).entryList(QDir::Files), files);

    // Reprints from the last passed outcome, by row or by MAC in any
    // spelling, with its row; a reprint replaces the module's file.
    const int passed = failed == 1 ? 2 : 1;
    QVERIFY(QFile::remove(labelFile(labels, passed)));
    ProgramRun reprint = cli({"label", "--audit", audit, "--row", QString::number(passed), "--labels", labels});
    QVERIFY2(reprint.code == 0, qPrintable(reprint.err));
    QCOMPARE(readPdf(labelFile(labels, passed)).decoded, macOfRow(passed) + QLatin1Char('\n'));
    const QString byMac = dir.filePath(QStringLiteral("by-mac.pdf"));
    reprint = cli({"label", "--audit", audit, "--mac", macOfRow(passed).replace(':', '-').toLower(), "--pdf", byMac});
    QVERIFY2(readPdf(byMac).text.contains(QStringLiteral("Row %1").arg(passed)), qPrintable(reprint.err));
    reprint = cli({"label", "--audit", audit, "--row", QString::number(failed), "--pdf", byMac});
    QCOMPARE(reprint.code, 14);
    QVERIFY2(reprint.err.contains(QStringLiteral("no passed module for row %1").arg(failed)), qPrintable(reprint.err));
    // Nothing from an audit that does not check out.
    QVERIFY(changeByte(audit, "\"row\":", 6, '7'));
    QCOMPARE(cli({"label", "--audit", audit, "--row", QString::number(passed), "--pdf", byMac}).code, 10);
}

void TestLabel::zplStatus_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("said"); // on stdout for 0, on stderr else

    const auto flagged = [](int string, int field) {
        QList<QByteArray> strings = readyStatus.split('\x03');
        QList<QByteArray> fields = strings[string].split(',');
        fields[field] = "1";
        strings[string] = fields.join(',');
        return strings.join('\x03');
    };
    const int reads = int(LoopbackPrinter::Mode::Reads);
    QTest::newRow("paper out") << reads << flagged(0, 1) << 13 << "reports paper out";
    QTest::newRow("paused") << reads << flagged(0, 2) << 13 << "reports paused";
    QTest::newRow("head open") << reads << flagged(1, 2) << 13 << "reports head open";
    QTest::newRow("ribbon out while printing by ribbon") << reads << flagged(1, 3).replace(",0,2,6,", ",1,2,6,") << 13
                                                         << "reports ribbon out";
    QTest::newRow("ribbon out while printing direct") << reads << flagged(1, 3) << 0 << "printed to";
    QTest::newRow("ready") << reads << readyStatus << 0 << "printed to";
    // Whether it printed nobody can say, so it is neither printed nor not
    // printed: a reprint could put a second label on the module.
    QTest::newRow("reads and closes without a status") << int(LoopbackPrinter::Mode::Closes) << QByteArray() << 0
                                                       << "the printer did not report its status";
    QTest::newRow("never reads a byte") << int(LoopbackPrinter::Mode::Deaf) << QByteArray() << 0
                                        << "the printer did not report its status";
}

void TestLabel::zplStatus()
{
    QFETCH(int, mode);
    QFETCH(QByteArray, status);
    QFETCH(int, code);
    QFETCH(QString, said);
    LoopbackPrinter printer(LoopbackPrinter::Mode(mode), status);
    const ProgramRun run = label({"--zpl", printer.address()});
    QCOMPARE(run.code, code);
    QVERIFY2((code == 0 ? run.out : run.err).contains(said), qPrintable(run.out + run.err));
}

void TestLabel::provisionWithUnprintedLabel()
{
    LoopbackPrinter printer(LoopbackPrinter::Mode::Drops);
    SimProcess module({"--line", "1"});
    QVERIFY2(module.isRunning(), qPrintable(module.error()));
    QTemporaryDir dir;
    const QString audit = dir.filePath(QStringLiteral("audit.jsonl"));
    const ProgramRun run = cli(provision(writeFile(dir, QStringLiteral("plan.csv"), plan3), audit,
                                         {"--once", "--label-zpl", printer.address(), "--port", module.devicePath()}));
    QCOMPARE(run.code, 13);
    // The module keeps its pass; the lane, the audit and a warning say what became of the label.
    QCOMPARE(auditKinds(audit), (QStringList {"claim 1", "outcome 1 pass", "label 1 not printed"}));
    const QString out = QString::fromLocal8Bit(run.out);
    QVERIFY2(out.contains(QStringLiteral("PASS row 1"))
                 && out.contains(module.devicePath() + ": done; label NOT printed (printer " + printer.address()),
             qPrintable(out));
    QVERIFY2(run.err.contains("vev-cli label --audit " + audit + " --row 1"), qPrintable(run.err));
    verifyAudit(audit, [&printer](const AuditRecord &record, int) {
        if (const auto *label = std::get_if<LabelRecord>(&record.body))
            QVERIFY2(label->target == "printer " + printer.address() && label->reason.startsWith(label->target),
                     qPrintable(label->reason));
    });
}

QTEST_MAIN(TestLabel)
#include "tst_label.moc"
