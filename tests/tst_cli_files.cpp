// telvaro-cli list and convert as processes over real files.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Result {
    int status;
    QByteArray out;
    QByteArray err;
};

Result Run(const QStringList &args)
{
    QProcess p;
    p.start(qEnvironmentVariable("TELVARO_CLI"), args);
    if (!p.waitForStarted(10000) || !p.waitForFinished(20000))
        return {-1, {}, {}};
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

void Put(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray Contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

const QByteArray kTvd = "1000,0,\"<0x02>Hello\",\"first\"\r\n"
                        "1234567,1,\"\xe9<0x0D>\",\"a, b\"\r\n";

} // namespace

class CliFilesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void list_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("out");
        QTest::newRow("grid") << QStringList{}
                              << QByteArray("000 | 001000 | <0x02>Hello | first\n"
                                            "001 | 1234567 | \xe9<0x0D> | a, b\n");
        // The text view shows SendData, which a TVD file leaves empty.
        QTest::newRow("text view") << QStringList{"--text-view"}
                                   << QByteArray("000 | 001000 | <0x02>Hello | \r\n"
                                                 "001 | 1234567 | \xe9<0x0D> | \r\n");
    }
    void list()
    {
        QFETCH(QStringList, options);
        QFETCH(QByteArray, out);
        QTemporaryDir dir;
        Put(dir.filePath("m.tvd"), kTvd);
        const Result r = Run(QStringList{"list"} + options + QStringList{dir.filePath("m.tvd")});
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, out);
    }

    void listFailures()
    {
        QTemporaryDir dir;
        Put(dir.filePath("bad.TVD"), kTvd + "5,2,\"x\"\r\n");
        Result r = Run({"list", dir.filePath("bad.TVD")});
        QCOMPARE(r.status, 1);
        QCOMPARE(r.err, QByteArray("Error Opening file\n"));
        QCOMPARE(r.out.count('\n'), 2); // what was read before the error

        r = Run({"list", dir.filePath("none.TVD")});
        QCOMPARE(r.status, 1);
        QCOMPARE(r.err, QByteArray("Error Opening file\n"));
        QCOMPARE(Run({"list", dir.filePath("m.txt")}).status, 2);
        QCOMPARE(Run({"list"}).status, 2);
    }

    void convert()
    {
        QTemporaryDir dir;
        const QString tvd = dir.filePath("m.TVD");
        const QString qnd = dir.filePath("m.QND");
        Put(tvd, kTvd);
        // The command line answers warnings with OK, after printing them.
        Result r = Run({"convert", tvd, qnd});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.err, QByteArray("QND file format only supports intervals up to 32767 ms\n\n"
                                   "Message 001 has an interval of 1234567 ms: the saved file will not open again\n"));
        const QByteArray bytes = Contents(qnd);
        QCOMPARE(bytes.count("\r\n"), 402);
        QVERIFY(bytes.startsWith("1000,0,\"<0x02>Hello\"\r\n1234567,1,\"\xe9<0x0D>\"\r\n0,2,\"\"\r\n"));
        QVERIFY(bytes.contains("\r\n\"first\"\r\n\"a, b\"\r\n\"\"\r\n"));

        // That interval cannot be read back: converting the file again
        // fails and writes nothing.
        r = Run({"convert", qnd, dir.filePath("back.TVD")});
        QCOMPARE(r.status, 1);
        QCOMPARE(r.err, QByteArray("Error Opening file\n"));
        QVERIFY(!QFile::exists(dir.filePath("back.TVD")));

        QCOMPARE(Run({"convert", tvd, dir.filePath("m.txt")}).status, 2);
        QCOMPARE(Run({"convert", tvd}).status, 2);
    }

    void convertWarnsAndGoesOn()
    {
        QTemporaryDir dir;
        QByteArray many;
        for (int i = 0; i < 205; ++i)
            many += "10," + QByteArray::number(i) + ",\"T" + QByteArray::number(i) + "\",\"\"\r\n";
        Put(dir.filePath("many.TVD"), many);
        const Result r = Run({"convert", dir.filePath("many.TVD"), dir.filePath("few.QND")});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.err, QByteArray("QND file format only supports 200 messages\n\nOnly the first 200 messages will be "
                                   "saved\n"));
        const QByteArray bytes = Contents(dir.filePath("few.QND"));
        QVERIFY(bytes.contains("10,200,\"T200\"\r\n\"\"\r\n"));
        QVERIFY(!bytes.contains("T201"));
    }
};

QTEST_GUILESS_MAIN(CliFilesTest)
#include "tst_cli_files.moc"
