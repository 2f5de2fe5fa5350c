// The preview and picture upload windows on a browser without a browser:
// which steps they run on which page event.
#include "automation/PicUpload.h"
#include "automation/Preview.h"
#include "common/ModalHelper.h"
#include "common/TestProgram.h"
#include "state/DModul.h"
#include "state/Endpoints.h"
#include "state/ErrorReport.h"
#include "ui_Preview.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

using namespace tarnvik;

namespace {
QList<FormElementInfo> form(int size, const QString &nameAt = {}, int at = -1)
{
    QList<FormElementInfo> elements;
    for (int i = 0; i < size; ++i)
        elements.append({i == at ? nameAt : QStringLiteral("e%1").arg(i), QStringLiteral("text"), {}});
    return elements;
}

QStringList describe(const QList<FormStep> &steps)
{
    QStringList out;
    for (const FormStep &s : steps)
        out << QStringLiteral("%1:%2").arg(int(s.kind)).arg(s.element);
    return out;
}
} // namespace

class TestAutomation : public QObject
{
    Q_OBJECT

    TestProgram m_program;
    QStringList m_errors;
    FakeBrowserHost *m_fake = nullptr;

    QString program() const { return m_program.filePath(QStringLiteral("prog")); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(QDir().mkpath(program()));
        setEndpoints({QStringLiteral("forum.test"), QStringLiteral("bilder.test"), QStringLiteral("holzwerkerforum")});
        setErrorReporter([this](const QString &text) { m_errors << text; });
        const BrowserFactory fake = [this](QWidget *parent) { return m_fake = new FakeBrowserHost(parent); };
        setBrowserFactory(fake);
    }

    void init()
    {
        m_errors.clear();
        QVERIFY(m_program.start(
            ProgramStart().value(QStringLiteral("Passwort"), QStringLiteral("geheim")).programFolder(program())));
        QFile::copy(QStringLiteral(TARNVIK_SOURCE_DIR "/resources/Response.html.in"),
                    program() + QStringLiteral("/Response.html"));
    }

    void cleanup()
    {
        m_program.stop();
        QFile::remove(program() + QStringLiteral("/Response.html"));
    }

    // The form is filled once, on the first navigation; the send path shows
    // on the forum's preview page only, and "Abschicken" publishes through
    // the element named "Post", after which the window closes.
    void previewSubmitsOnceAndPublishes()
    {
        TfrmPreview preview(nullptr);
        QVERIFY(preview.Prepare(4711, QStringLiteral("Text"), QStringLiteral("Betreff")));
        QCOMPARE(preview.SendState, 0);
        QCOMPARE(m_fake->navigated, QStringList{QDir::toNativeSeparators(preview.WorkPage())});
        QVERIFY(QFile::exists(preview.WorkPage()));
        preview.show();

        m_fake->forms = {form(14)};
        const QString workPage = QUrl::fromLocalFile(preview.WorkPage()).toString();
        m_fake->complete(workPage);
        m_fake->complete(workPage + QStringLiteral("#frame"));
        QCOMPARE(preview.SendState, 1);
        // The steps and their order are the core's; here, that the thread
        // and the user's settings go into them.
        QCOMPARE(m_fake->batches.size(), 9);
        QCOMPARE(m_fake->batches.at(0).value, QStringLiteral("4711"));
        QCOMPARE(m_fake->batches.at(1).value, QStringLiteral("Holzwurm"));
        QCOMPARE(m_fake->batches.at(6).value, QStringLiteral("geheim"));
        QVERIFY(preview.controls()->btnSend->isEnabled());

        // The forum's error page: no send path.
        m_fake->forms = {form(3)};
        m_fake->complete(QStringLiteral("http://forum.test/cgi-bin/forum/webbbs_config.pl"));
        QVERIFY(!preview.controls()->btnSend->isVisible());
        // Its preview page: the send path.
        m_fake->forms = {form(14, QStringLiteral("Post"), 13)};
        m_fake->complete(QStringLiteral("http://forum.test/cgi-bin/forum/webbbs_config.pl"));
        QVERIFY(preview.controls()->btnSend->isVisible());
        QVERIFY(preview.controls()->Label1->isVisible());

        m_fake->batches.clear();
        QTest::mouseClick(preview.controls()->btnSend, Qt::LeftButton);
        QCOMPARE(describe(m_fake->batches), QStringList{QStringLiteral("2:13")});
        QCOMPARE(preview.SendState, 2);
        QVERIFY(!preview.Published());
        QSignalSpy finished(&preview, &QDialog::finished);
        m_fake->complete(QStringLiteral("http://forum.test/cgi-bin/forum/webbbs_config.pl/read/1011"));
        QVERIFY(preview.Published());
        QVERIFY(!finished.wait(2500));
        QVERIFY(finished.wait(1500));
        QVERIFY(m_errors.isEmpty());
    }

    // Closing while the forum's answer to "Abschicken" is outstanding waits
    // for it, so that the editor learns that the post went out.
    void closingWhilePublishingWaitsForTheAnswer()
    {
        TfrmPreview preview(nullptr);
        QVERIFY(preview.Prepare(0, QStringLiteral("Text"), QStringLiteral("Betreff")));
        preview.show();
        m_fake->forms = {form(14, QStringLiteral("Post"), 13)};
        m_fake->complete(QUrl::fromLocalFile(preview.WorkPage()).toString());
        m_fake->complete(QStringLiteral("http://forum.test/cgi-bin/forum/webbbs_config.pl"));
        QTest::mouseClick(preview.controls()->btnSend, Qt::LeftButton);
        QVERIFY(preview.Sending());

        QTest::keyClick(&preview, Qt::Key_Escape);
        QVERIFY(preview.isVisible());
        QVERIFY(preview.controls()->lblNote->text().startsWith(QStringLiteral("Der Beitrag wird gesendet.")));
        QSignalSpy finished(&preview, &QDialog::finished);
        m_fake->complete(QStringLiteral("http://forum.test/cgi-bin/forum/webbbs_config.pl/read/1011"));
        QCOMPARE(finished.size(), 1);
        QVERIFY(preview.Published());
    }

    void previewReportsAMissingTemplate()
    {
        // Missing template, through the editor's own call.
        QFile::remove(program() + QStringLiteral("/Response.html"));
        QVERIFY(!OpenPreview(nullptr, 0, QStringLiteral("Text"), QStringLiteral("Betreff")));
        QCOMPARE(m_errors.size(), 1);
        QVERIFY(m_errors.first().startsWith(
            QStringLiteral("Datei %1/Response.html kann nicht geöffnet werden. ").arg(program())));
    }

    void previewReportsAFailingFormStep()
    {
        TfrmPreview preview(nullptr);
        QVERIFY(preview.Prepare(0, QStringLiteral("Text"), QStringLiteral("Betreff")));
        m_fake->forms = {form(10)};
        const QString workPage = QUrl::fromLocalFile(preview.WorkPage()).toString();
        m_fake->complete(workPage);
        QCOMPARE(m_errors, QStringList{QStringLiteral("Das Formular hat kein Element 12.")});
        QCOMPARE(m_fake->batches.size(), 7);
        QVERIFY(!preview.controls()->btnSend->isEnabled());
        m_fake->complete(workPage);
        QCOMPARE(m_fake->batches.size(), 7);
    }

    void uploadFillsTheFormAndTakesThePictureNumber()
    {
        TfrmPicUpload window(nullptr, true);
        QCOMPARE(m_fake->navigated, QStringList{QStringLiteral("http://bilder.test/ASP/Bld_Anlegen.asp")});
        // A picture page before any form is not looked at.
        m_fake->complete(QStringLiteral("http://bilder.test/ASP/Bld_D.asp?id=1"));
        QCOMPARE(window.UploadStep, 0);
        // Nor is another host's form, though its path is the same.
        m_fake->forms = {form(5)};
        m_fake->complete(QStringLiteral("http://andere.test/ASP/Bld_Anlegen.asp"));
        QCOMPARE(window.UploadStep, 0);
        QVERIFY(m_fake->batches.isEmpty());
        m_fake->complete(QStringLiteral("http://bilder.test/ASP/Bld_Anlegen.asp"));
        QCOMPARE(window.UploadStep, 1);
        QCOMPARE(describe(m_fake->batches), (QStringList{QStringLiteral("0:1"), QStringLiteral("0:2")}));
        QCOMPARE(m_fake->batches.at(0).value, QStringLiteral("Holzwurm"));

        m_fake->batches.clear();
        m_fake->forms = {form(2)};
        m_fake->complete(QStringLiteral("http://bilder.test/ASP/Bld_D.asp?id=77&x=5"));
        QCOMPARE(window.UploadStep, 2);
        QVERIFY(window.PictureTaken);
        QCOMPARE(DM->PicIDs().first(), QStringLiteral("77"));
        QCOMPARE(describe(m_fake->batches), (QStringList{QStringLiteral("0:0"), QStringLiteral("2:1")}));
        QCOMPARE(m_fake->batches.at(0).value, QStringLiteral("geheim"));
        QVERIFY(m_errors.isEmpty());
    }

    void manageModeTakesOnlyTheFirstPicturePage()
    {
        TfrmPicUpload window(nullptr, false);
        QCOMPARE(m_fake->navigated, QStringList{QStringLiteral("http://bilder.test/ASP/Bld_Neuzugang.asp")});
        m_fake->complete(QStringLiteral("http://bilder.test/ASP/Bld_D.asp?id="));
        QCOMPARE(window.UploadStep, 1);
        QVERIFY(!window.PictureTaken);
        m_fake->complete(QStringLiteral("http://bilder.test/ASP/Bld_D.asp?id=812"));
        m_fake->complete(QStringLiteral("http://bilder.test/ASP/Bld_D.asp?id=813"));
        QCOMPARE(DM->PicIDs(), QStringList{QStringLiteral("812")});
        QCOMPARE(window.UploadStep, 2);
    }
};

QTEST_MAIN(TestAutomation)
#include "tst_automation.moc"
