// The build without the office binding: the export keeps its files and says
// that the word processor is missing.

#include "export/WordConnection.h"

#include <QTemporaryDir>
#include <QTest>

class TestWordMissing : public QObject
{
    Q_OBJECT

private slots:
    void saysTheWordProcessorIsMissing()
    {
        QVERIFY(!tarnvik::word::isAvailable());
        CreateWordConnections();
        QVERIFY(ListOpenDocuments().isEmpty());

        QTemporaryDir dir;
        const QString html = dir.filePath(QStringLiteral("Temp.html"));
        QFile file(html);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<BODY>\r\n</BODY></HTML>\r\n");
        file.close();

        bool done = false;
        WordBuildResult result;
        BuildWordDocument(dir.path(), html, QStringLiteral("Hobelbank"), 0, true, 0, [&](const WordBuildResult &r) {
            result = r;
            done = true;
        });
        QTRY_VERIFY(done);
        QVERIFY(!result.ok);
        QVERIFY(result.officeMissing);
        QCOMPARE(result.error, QStringLiteral("Die Textverarbeitung (LibreOffice Writer) ist nicht installiert."));
        QVERIFY(QFile::exists(html));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("Temp.html")});
        ReleaseWordConnections();
    }
};

QTEST_GUILESS_MAIN(TestWordMissing)
#include "tst_word_missing.moc"
