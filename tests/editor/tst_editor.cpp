// The editor window driven as the user drives it: keys, toolbar actions,
// menus, its dialogs, files and drafts. Only the file dialogs' answers are
// put in by the test.
#include "common/ModalHelper.h"
#include "common/TestProgram.h"
#include "common/Widgets.h"
#include "editor/BodyText.h"
#include "editor/Edit.h"
#include "editor/EditSpelling.h"
#include "editor/Markup.h"
#include "editor/PostFile.h"
#include "editor/SpellHighlighter.h"
#include "editor/SpellSetting.h"
#include "editor/Speller.h"
#include "state/DModul.h"
#include "state/Endpoints.h"
#include "state/ErrorReport.h"
#include "state/Icons.h"
#include "state/MenuAccessibility.h"
#include "state/TextFile.h"

#include <QAccessible>
#include <QClipboard>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QScopeGuard>
#include <QtTest>

#include <functional>

using namespace tarnvik;

namespace {
const QString kPictureHost = QStringLiteral("bilder.test");

QString picturePath(const QString &number)
{
    return QStringLiteral("http://%1/Bilder/B%2.jpg").arg(kPictureHost, number);
}

QStringList captions(const QList<QAction *> &actions)
{
    QStringList result;
    for (const QAction *action : actions)
        result << (action->isSeparator() ? QStringLiteral("|") : action->text());
    return result;
}

// Types text key by key; letters beyond ASCII come as the text of a key the
// keyboard does not name, as an input method delivers them.
void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        if (c == QLatin1Char('\n'))
            QTest::keyClick(widget, Qt::Key_Return);
        else if (c.unicode() < 128)
            QTest::keyClick(widget, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// The entries of the open pop-up menus that a screen reader finds from the
// application down.
QStringList accessibleMenuEntries(QAccessibleInterface *node, int depth = 0)
{
    QStringList entries;
    if (!node || depth > 12)
        return entries;
    for (int i = 0; i < node->childCount(); ++i) {
        QAccessibleInterface *child = node->child(i);
        if (!child)
            continue;
        if (node->role() == QAccessible::PopupMenu && child->role() == QAccessible::MenuItem)
            entries << child->text(QAccessible::Name);
        else if (child->role() != QAccessible::MenuItem)
            entries << accessibleMenuEntries(child, depth + 1);
    }
    return entries;
}

QByteArray readAll(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &name, const QByteArray &bytes)
{
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}
} // namespace

class TestEditor : public QObject
{
    Q_OBJECT

    TestProgram m_program;
    QStringList m_errors;
    QString m_chosenFile;

    QString programFolder() const { return m_program.filePath(QStringLiteral("prog/")); }
    // Drafts of the editors that open without a thread shown: a new post,
    // or an answer to thread 0.
    QString draft(bool newPost) const
    {
        return programFolder() + (newPost ? QStringLiteral("NewText.txt") : QStringLiteral("AnswerText-0.txt"));
    }

    static QPlainTextEdit *memo(TfrmEdit *e) { return e->findChild<QPlainTextEdit *>(QStringLiteral("Memo")); }
    static QLineEdit *subject(TfrmEdit *e) { return e->findChild<QLineEdit *>(QStringLiteral("EBetreff")); }
    static QAction *action(TfrmEdit *e, const char *name) { return e->findChild<QAction *>(QLatin1String(name)); }

    // Runs "Schliessen" and answers the question it asks (by the button of
    // that caption, or by Enter for the default); returns the question's
    // text, or empty when none came.
    QString closeAnswering(TfrmEdit *e, const QString &answer)
    {
        QString question;
        QTimer poll; // gone when "Schliessen" has run, question or not
        poll.setInterval(20);
        connect(&poll, &QTimer::timeout, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            poll.stop();
            question = box->text();
            if (answer.isEmpty())
                QTest::keyClick(box, Qt::Key_Return);
            for (QAbstractButton *button : box->buttons()) {
                if (!answer.isEmpty() && button->text() == answer)
                    button->click();
            }
        });
        poll.start();
        action(e, "actClose")->trigger();
        return question;
    }

    // The point of the body where `word` starts.
    static QPoint pointOf(TfrmEdit *e, const QString &word)
    {
        QTextCursor at(memo(e)->document());
        at.setPosition(int(body::documentText(*memo(e)->document()).indexOf(word)) + 1);
        return memo(e)->cursorRect(at).center();
    }

    // Waits until the dictionary has loaded (or was found missing) and the
    // body is looked up.
    static void waitForSpelling(TfrmEdit *e)
    {
        const EditSpelling *spelling = e->Spelling();
        QDeadlineTimer deadline(30000);
        while (!deadline.hasExpired()
               && !(spelling->isReady() && (!spelling->hasDictionary() || spelling->highlighter()->isChecked())))
            QTest::qWait(20);
    }

    std::unique_ptr<TfrmEdit> open(bool newPost)
    {
        auto editor = std::make_unique<TfrmEdit>(nullptr, newPost);
        editor->show();
        editor->activateWindow();
        if (!QTest::qWaitForWindowActive(editor.get()))
            qWarning("editor window not active");
        return editor;
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void opensNewPost_data();
    void opensNewPost();
    void opensAnswer();
    void commandIcons();
    void layout();
    void accessibleNames();

    void keysActOnBodyOnly();
    void contextMenuAndUndo();
    void previewFollowsSubject();
    void linkCommand();
    void pictureCommand();
    void pictureMenu();

    void saveAndOpen_data();
    void saveAndOpen();
    void openReadsOtherFiles_data();
    void openReadsOtherFiles();
    void fileErrors();
    void standardFileDialogs();

    void draftSurvivesTitleBarClose();
    void closeAsksBeforeDiscarding_data();
    void closeAsksBeforeDiscarding();
    void draftSavedWhileTyping();
    void answerDraftKeepsFreshSubject();
    void answerDraftsPerThread();
    void unwritableDraftIsANote();
    void oversizedInputRefused();
    void openEditorIsModal();

    void spellingMenu();
    void spellingSwitch();
    void withoutDictionary();

};

void TestEditor::initTestCase()
{
    QVERIFY(QDir().mkpath(programFolder()));
    // The workshop's word list lies beside the program.
    QVERIFY(QFile::copy(QStringLiteral(TARNVIK_SOURCE_DIR "/resources/spelling/Werkstattwoerter.txt"),
                        programFolder() + QStringLiteral("Werkstattwoerter.txt")));
    setEndpoints({QStringLiteral("forum.test"), kPictureHost, QStringLiteral("wort")});
    setErrorReporter([this](const QString &text) { m_errors << text; });
    installMenuAccessibility(); // as the program does first thing
    // The user's word list and the spelling switch stay in the test's folder.
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_program.filePath(QStringLiteral("daten"))));
    const QString settings = m_program.settingsFile();
    spelling::setSettingsOpener([settings] { return std::make_unique<QSettings>(settings, QSettings::IniFormat); });
    TfrmEdit::setFileChooser([this](QWidget *, TfrmEdit::FileDialogKind) { return m_chosenFile; });
}

void TestEditor::init()
{
    for (const QFileInfo &text : QDir(programFolder()).entryInfoList({QStringLiteral("*Text*.txt")}, QDir::Files))
        QFile::remove(text.filePath());
    QVERIFY(m_program.start(ProgramStart::bare().programFolder(m_program.filePath(QStringLiteral("prog")))));
    m_errors.clear();
    m_chosenFile.clear();
}

void TestEditor::cleanup()
{
    m_program.stop();
}

void TestEditor::opensNewPost_data()
{
    QTest::addColumn<QString>("templateText");
    QTest::addColumn<int>("caret");
    QTest::newRow("three lines") << "Hallo,\r\n\r\nGruß" << 10;
    QTest::newRow("no template") << "" << 0;
}

void TestEditor::opensNewPost()
{
    QFETCH(QString, templateText);
    QFETCH(int, caret);
    DM->SetTemplate(templateText);
    auto e = open(true);
    QCOMPARE(e->windowTitle(), QStringLiteral("Neuen Beitrag schreiben"));
    QCOMPARE(e->BodyText(), templateText);
    QCOMPARE(e->SelStart(), caret);
    QCOMPARE(e->Subject(), QString());
    QCOMPARE(QApplication::focusWidget(), subject(e.get()));
    QVERIFY(!action(e.get(), "actPreview")->isEnabled());

    // A draft of a new post hides the template of new posts only.
    writeFile(draft(true), QByteArray());
    auto withDraft = open(true);
    QCOMPARE(withDraft->BodyText(), QString());
    QVERIFY(m_errors.isEmpty());
    auto answer = open(false);
    QCOMPARE(answer->BodyText(), templateText);
}

void TestEditor::opensAnswer()
{
    DM->PageTitle = QStringLiteral("Hobelbank");
    auto e = open(false);
    QCOMPARE(e->windowTitle(), QStringLiteral("Antwort schreiben"));
    QCOMPARE(e->Subject(), QStringLiteral("Re: Hobelbank"));
    QVERIFY(action(e.get(), "actPreview")->isEnabled());
    QCOMPARE(QApplication::focusWidget(), memo(e.get()));
}

// Every command of the top toolbar and the body's menu draws an icon of the
// program's set, greyed while it cannot run.
void TestEditor::commandIcons()
{
    auto e = open(true);
    const QList<QAction *> commands =
        e->findChild<QToolBar *>(QStringLiteral("ToolBar1"))->actions() + e->BodyPopup()->actions();
    for (QAction *act : commands)
        QVERIFY2(act->isSeparator() || !act->icon().isNull(), qPrintable(act->text()));
    const QIcon bold = action(e.get(), "actBold")->icon();
    const QImage expected = TarnvikIcons::image(icoBold).toImage();
    QCOMPARE(bold.pixmap(24).toImage().convertToFormat(expected.format()), expected);
    const QImage greyed = TarnvikIcons::disabledImage(icoBold).toImage();
    QCOMPARE(bold.pixmap(24, QIcon::Disabled).toImage().convertToFormat(greyed.format()), greyed);
}

void TestEditor::layout()
{
    auto e = open(true);
    auto *top = e->findChild<QToolBar *>(QStringLiteral("ToolBar1"));
    auto *bottom = e->findChild<QToolBar *>(QStringLiteral("ToolBar2"));
    QCOMPARE(captions(top->actions()), QStringList({"Öffnen", "Speichern", "|", "Fett", "Kursiv", "Rot", "Liste",
                                                    "Link", "Bild", "|", "Vorschau", "|", "Schliessen"}));
    QCOMPARE(captions(bottom->actions()),
             QStringList({"Hochstellen", "Tiefstellen", "Groß", "Zentriert", "Code (ASCII)", "Rechtschreibung"}));
    QCOMPARE(captions(e->BodyPopup()->actions()), QStringList({"Fett", "Kursiv", "Rot", "Liste", "Link", "|",
                                                               "Hochstellen", "Tiefstellen", "Groß", "Zentriert",
                                                               "Code (ASCII)"}));
    QCOMPARE(memo(e.get())->contextMenuPolicy(), Qt::CustomContextMenu);

    QWidget *save = top->widgetForAction(action(e.get(), "actSave"));
    QVERIFY(save->width() >= 58 && save->height() >= 44);
    QVERIFY(bottom->widgetForAction(action(e.get(), "actHoch"))->width() >= 68);
    auto *picture = qobject_cast<QToolButton *>(top->widgetForAction(action(e.get(), "actInsertPic")));
    QCOMPARE(picture->menu(), e->PicturePopup());
    QCOMPARE(picture->popupMode(), QToolButton::MenuButtonPopup);

    // Hints show on the top toolbar, for the commands that have one.
    const auto hintShown = [](QWidget *button) {
        QToolTip::hideText();
        QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), button->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(button, &help);
        const bool shown = QToolTip::isVisible() && QToolTip::text() == button->toolTip();
        QToolTip::hideText();
        return shown;
    };
    QVERIFY(hintShown(top->widgetForAction(action(e.get(), "actRedText"))));
    QVERIFY(!hintShown(save));
    QVERIFY(!hintShown(bottom->widgetForAction(action(e.get(), "actBigText"))));

    // Body, subject and toolbars stretch with the window; the window no
    // smaller than its minimum.
    e->resize(1000, 700);
    QTRY_COMPARE(e->width(), 1000);
    QVERIFY(memo(e.get())->width() > 950);
    QVERIFY(subject(e.get())->width() > 850);
    e->resize(300, 200);
    QTRY_COMPARE(e->size(), QSize(800, 400));
}

void TestEditor::accessibleNames()
{
    auto e = open(true);
    const QList<QWidget *> widgets = e->findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        if (!widget->isVisible() || !widget->focusPolicy() || qobject_cast<QMenu *>(widget))
            continue;
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(widget);
        QVERIFY(face);
        QVERIFY2(!face->text(QAccessible::Name).isEmpty(), qPrintable(widget->objectName()));
    }
    for (QToolBar *bar : e->findChildren<QToolBar *>()) {
        for (QAction *act : bar->actions()) {
            if (!act->isSeparator())
                QCOMPARE(bar->widgetForAction(act)->accessibleName(), act->text());
        }
    }
}

void TestEditor::keysActOnBodyOnly()
{
    auto e = open(true);
    QApplication::clipboard()->setText(QStringLiteral("Zwischenablage"));
    e->SetBodyText(QStringLiteral("Hallo Welt\r\nMehr"));
    e->SetSelection(5);
    QLineEdit *field = subject(e.get());
    QTest::keyClicks(field, QStringLiteral("Hobel"));

    QTest::keyClick(field, Qt::Key_F2);
    QCOMPARE(e->BodyText(), QStringLiteral("Hallo[b][/b] Welt\r\nMehr"));
    QCOMPARE(e->SelStart(), 8);
    QCOMPARE(e->Subject(), QStringLiteral("Hobel"));
    QCOMPARE(QApplication::focusWidget(), field);

    QTest::keyClick(field, Qt::Key_F3);
    QTest::keyClick(field, Qt::Key_F4);
    QCOMPARE(e->BodyText(), QStringLiteral("Hallo[b][i][red][/red][/i][/b] Welt\r\nMehr"));
    QCOMPARE(e->SelStart(), 16);

    memo(e.get())->setFocus();
    QTest::keyClick(memo(e.get()), Qt::Key_F5);
    QCOMPARE(e->BodyText(),
             QStringLiteral("Hallo[b][i][red][/red][/i][/b] Welt\r\n[List]\r\n[*]\r\n[*]\r\n[*]\r\n[*]\r\n[/List]\r\nMehr"));
    QCOMPARE(e->SelStart(), 45);
    QCOMPARE(QApplication::focusWidget(), memo(e.get()));

    // Every command through its action, with the focus in the subject.
    field->setFocus();
    e->SetBodyText(QStringLiteral("2"));
    e->SetSelection(0, 1);
    action(e.get(), "actTief")->trigger();
    QCOMPARE(e->BodyText(), QStringLiteral("&lt;sub&gt;2&lt;/sub&gt;"));
    QCOMPARE(e->SelLength(), 0);
    action(e.get(), "actHoch")->trigger();
    action(e.get(), "actBigText")->trigger();
    action(e.get(), "actCenter")->trigger();
    action(e.get(), "actCode")->trigger();
    QCOMPARE(e->BodyText(),
             QStringLiteral("&lt;sub&gt;2&lt;/sub&gt;&lt;sup&gt;[big][center][code][/code][/center][/big] &lt;/sup&gt;"));
    QCOMPARE(QApplication::focusWidget(), field);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("Zwischenablage"));

    // A soft break would be no line of the body: Shift+Enter is a line break.
    e->SetBodyText(QStringLiteral("ab"));
    e->SetSelection(1);
    QTest::keyClick(memo(e.get()), Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(e->BodyText(), QStringLiteral("a\r\nb"));
    QCOMPARE(e->SelStart(), 3);

    // Bold and italic also on the keys that every editor has for them.
    e->SetBodyText(QString());
    QTest::keyClick(memo(e.get()), Qt::Key_B, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_I, Qt::ControlModifier);
    QCOMPARE(e->BodyText(), QStringLiteral("[b][i][/i][/b]"));
}

void TestEditor::contextMenuAndUndo()
{
    auto e = open(true);
    e->SetBodyText(QStringLiteral("Der Hobel"));
    e->SetSelection(4, 5);
    e->BodyPopup()->actions().at(2)->trigger(); // "Rot"
    QCOMPARE(e->BodyText(), QStringLiteral("Der [red]Hobel[/red]"));
    QCOMPARE(e->SelStart(), 20);
    QTest::keyClick(memo(e.get()), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(e->BodyText(), QStringLiteral("Der Hobel"));

    // The body's menu is ours, not the text field's standard one, and a
    // screen reader reaches its entries.
    bool shown = false;
    QStringList reachable;
    QTimer::singleShot(50, this, [&] {
        shown = e->BodyPopup()->isVisible();
        reachable = accessibleMenuEntries(QAccessible::queryAccessibleInterface(qApp));
        e->BodyPopup()->close();
    });
    QWidget *viewport = memo(e.get())->viewport();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10), viewport->mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(viewport, &event);
    QTRY_VERIFY(shown);
    QVERIFY2(reachable.contains(QStringLiteral("Fett")), qPrintable(reachable.join(QLatin1Char(','))));
}

void TestEditor::previewFollowsSubject()
{
    auto e = open(true);
    QAction *preview = action(e.get(), "actPreview");
    QTest::keyClick(subject(e.get()), Qt::Key_F10);
    QTest::qWait(50);
    QVERIFY(!QApplication::activeModalWidget());

    QTest::keyClicks(subject(e.get()), QStringLiteral("H"));
    QVERIFY(preview->isEnabled());
    QTest::keyClick(subject(e.get()), Qt::Key_Backspace);
    QVERIFY(!preview->isEnabled());

    // With a subject, F10 hands subject and body to the preview, and the
    // text stays as it was.
    QTest::keyClicks(subject(e.get()), QStringLiteral("Hobel"));
    e->SetBodyText(QStringLiteral("Text"));
    QStringList handed;
    const auto real = TfrmEdit::setPreviewOpener([&](QWidget *, qint32 thread, const QString &body, const QString &subj) {
        handed << QString::number(thread) << body << subj;
        return false;
    });
    QTest::keyClick(subject(e.get()), Qt::Key_F10);
    TfrmEdit::setPreviewOpener(real);
    QCOMPARE(handed, (QStringList{QStringLiteral("0"), QStringLiteral("Text"), QStringLiteral("Hobel")}));
    QCOMPARE(e->BodyText(), QStringLiteral("Text"));
}

void TestEditor::linkCommand()
{
    auto e = open(true);
    e->SetBodyText(QStringLiteral("Siehe Werkstatt!"));
    e->SetSelection(6, 9);
    QString label;
    auto watch = onNextModal([&label](QWidget *dialog) {
        label = dialog->findChild<QLineEdit *>(QStringLiteral("EName"))->text();
        auto *url = dialog->findChild<QLineEdit *>(QStringLiteral("EURL"));
        QTest::keyClicks(url, QStringLiteral("holz.de"));
        QTest::keyClick(url, Qt::Key_Return);
    });
    QTest::keyClick(memo(e.get()), Qt::Key_F6);
    QVERIFY(watch->acted);
    QCOMPARE(label, QStringLiteral("Werkstatt"));
    const QString link = markup::linkMarkup(QStringLiteral("http://www.holz.de"), QStringLiteral("Werkstatt"));
    QCOMPARE(e->BodyText(), QStringLiteral("Siehe ") + link + QStringLiteral("!"));
    QCOMPARE(e->SelStart(), 6 + link.size());

    // Cancelled: body and selection as they were.
    e->SetSelection(0, 5);
    const QString before = e->BodyText();
    watch = onNextModal([](QWidget *dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
    action(e.get(), "actLink")->trigger();
    QVERIFY(watch->acted);
    QCOMPARE(e->BodyText(), before);
    QCOMPARE(e->SelStart(), 0);
    QCOMPARE(e->SelLength(), 5);
}

void TestEditor::pictureCommand()
{
    auto e = open(true);
    QTest::keyClicks(subject(e.get()), QStringLiteral("Hobelbank"));
    e->SetBodyText(QStringLiteral("Text\r\nMehr"));
    e->SetSelection(1);
    const auto typeNumber = [](const QString &number) {
        return onNextModal([number](QWidget *dialog) {
            auto *id = dialog->findChild<QLineEdit *>(QStringLiteral("EID"));
            QTest::mouseClick(id, Qt::LeftButton);
            QTest::keyClicks(id, number);
            QTest::keyClick(id, Qt::Key_Return);
        });
    };
    auto watch = typeNumber(QStringLiteral("12"));
    QTest::keyClick(memo(e.get()), Qt::Key_F9);
    QVERIFY(watch->acted);
    const QString line = markup::pictureLine(picturePath(QStringLiteral("12")), QString());
    QCOMPARE(e->BodyText(), QStringLiteral("Text\r\n") + line + QStringLiteral("\r\nMehr"));
    QCOMPARE(e->SelStart(), 8 + line.size());
    QCOMPARE(e->Subject(), QStringLiteral("Hobelbank [mit Bild]"));

    watch = typeNumber(QStringLiteral("007"));
    action(e.get(), "actInsertPic")->trigger();
    QVERIFY(watch->acted);
    QVERIFY(e->BodyText().endsWith(QStringLiteral("\r\nMehr\r\n")
                                   + markup::pictureLine(picturePath(QStringLiteral("007")), QString())));
    QCOMPARE(e->Subject(), QStringLiteral("Hobelbank [mit Bild]"));

    const QString before = e->BodyText();
    watch = onNextModal([](QWidget *dialog) { dialog->close(); });
    action(e.get(), "actInsertPic")->trigger();
    QVERIFY(watch->acted);
    QCOMPARE(e->BodyText(), before);

    // An empty subject of a new post gets the marker and so enables preview.
    auto fresh = open(true);
    fresh->InsertRecentPicture(5);
    QCOMPARE(fresh->Subject(), QStringLiteral(" [mit Bild]"));
    QVERIFY(action(fresh.get(), "actPreview")->isEnabled());
}

void TestEditor::pictureMenu()
{
    for (const char *id : {"0042", "abc", "77", "812"})
        DM->AddPicID(QLatin1String(id));
    auto e = open(true);
    QMenu *menu = e->PicturePopup();
    QCOMPARE(captions(menu->actions()), QStringList({"&Hochladen", "&Verwalten", "|", "Bild ID=812", "Bild ID=77",
                                                     "Bild ID=abc", "Bild ID=0042"}));
    QVERIFY(!menu->actions().at(5)->isEnabled());

    QTest::keyClicks(subject(e.get()), QStringLiteral("Bilderrahmen"));
    menu->actions().at(4)->trigger();
    QCOMPARE(e->BodyText(), QStringLiteral("\r\n") + markup::recentPictureLine(picturePath(QStringLiteral("77"))));
    menu->actions().at(6)->trigger();
    QVERIFY(e->BodyText().endsWith(markup::recentPictureLine(picturePath(QStringLiteral("42")))));
    QCOMPARE(e->Subject(), QStringLiteral("Bilderrahmen"));

    // Rebuilt from the history, never doubled.
    DM->AddPicID(QStringLiteral("900"));
    e->RebuildPictureMenu();
    e->RebuildPictureMenu();
    QCOMPARE(menu->actions().size(), 8);
    QCOMPARE(menu->actions().at(3)->text(), QStringLiteral("Bild ID=900"));

    // The upload window is not there yet: its notice, and the menu unchanged.
    bool noticed = false;
    const auto watch = onNextModal([&noticed](QWidget *modal) {
        noticed = true;
        modal->close();
    }, e.get());
    menu->actions().at(0)->trigger();
    QVERIFY(watch->acted && noticed);
    QCOMPARE(menu->actions().size(), 8);

    init();
    auto empty = open(true);
    QCOMPARE(captions(empty->PicturePopup()->actions()), QStringList({"&Hochladen", "&Verwalten", "|"}));
}

void TestEditor::saveAndOpen_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("opened"); // the body after "Öffnen"
    QTest::newRow("umlauts") << "Grüße aus der Werkstatt\r\nMaß: 3 mm" << "Grüße aus der Werkstatt\r\nMaß: 3 mm\r\n";
    QTest::newRow("final break") << "a\r\n" << "a\r\n";
    QTest::newRow("empty lines") << "\r\n\r\nx" << "\r\n\r\nx\r\n";
    QTest::newRow("empty body") << "" << "";
}

void TestEditor::saveAndOpen()
{
    QFETCH(QString, body);
    QFETCH(QString, opened);
    auto e = open(true);
    e->SetBodyText(body);
    typeText(subject(e.get()), QStringLiteral("Öl & Wachs"));
    m_chosenFile = m_program.filePath(QStringLiteral("Beitrag.txt"));
    action(e.get(), "actSave")->trigger();
    QCOMPARE(readAll(m_chosenFile), (joinLines(splitLines(body), QStringLiteral("\r\n"))
                                     + QStringLiteral("Öl & Wachs\r\n")).toUtf8());

    auto other = open(false);
    action(other.get(), "actOpen")->trigger();
    QCOMPARE(other->BodyText(), opened);
    QCOMPARE(other->Subject(), QStringLiteral("Öl & Wachs"));
    QVERIFY(m_errors.isEmpty());
}

void TestEditor::openReadsOtherFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("subject");
    QTest::newRow("windows-1252") << QByteArray("Gr\xfc\xdf" "e\r\nH\xf6he\r\n") << "Grüße\r\n" << "Höhe";
    QTest::newRow("one line") << QByteArray("Betreff") << "" << "Betreff";
}

void TestEditor::openReadsOtherFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, body);
    QFETCH(QString, subject);
    m_chosenFile = m_program.filePath(QStringLiteral("fremd.txt"));
    writeFile(m_chosenFile, bytes);
    auto e = open(true);
    e->SetBodyText(QStringLiteral("alt"));
    action(e.get(), "actOpen")->trigger();
    QCOMPARE(e->BodyText(), body);
    QCOMPARE(e->Subject(), subject);
}

void TestEditor::fileErrors()
{
    auto e = open(true);
    e->SetBodyText(QStringLiteral("bleibt"));
    QTest::keyClicks(subject(e.get()), QStringLiteral("auch"));

    m_chosenFile = m_program.filePath(QStringLiteral("gibtsnicht.txt"));
    action(e.get(), "actOpen")->trigger();
    m_chosenFile.clear();
    action(e.get(), "actOpen")->trigger();
    action(e.get(), "actSave")->trigger();
    QVERIFY(m_errors.isEmpty());

    m_chosenFile = m_program.filePath(QStringLiteral("leer.txt"));
    writeFile(m_chosenFile, QByteArray());
    action(e.get(), "actOpen")->trigger();
    QCOMPARE(m_errors, QStringList{QStringLiteral("Listenindex überschreitet das Maximum (-1)")});

    m_chosenFile = m_program.filePath(QStringLiteral("kein/Ordner.txt"));
    action(e.get(), "actSave")->trigger();
    QCOMPARE(m_errors.size(), 2);
    QVERIFY2(m_errors.last().startsWith(QStringLiteral("Datei \"%1\" kann nicht erstellt werden. ").arg(m_chosenFile)),
             qPrintable(m_errors.last()));
    QCOMPARE(e->BodyText(), QStringLiteral("bleibt"));
    QCOMPARE(e->Subject(), QStringLiteral("auch"));
}

void TestEditor::standardFileDialogs()
{
    const TfrmEdit::FileChooser hook = TfrmEdit::setFileChooser({});
    auto e = open(true);
    e->SetBodyText(QStringLiteral("bleibt"));
    for (const char *command : {"actOpen", "actSave"}) {
        QStringList filters;
        QString suffix;
        bool confirms = true;
        const auto watch = onNextModal([&](QWidget *modal) {
            auto *dialog = qobject_cast<QFileDialog *>(modal);
            QVERIFY(dialog);
            filters = dialog->nameFilters();
            suffix = dialog->defaultSuffix();
            confirms = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
            dialog->reject();
        }, e.get());
        action(e.get(), command)->trigger();
        QVERIFY(watch->acted);
        QCOMPARE(filters, QStringList{QStringLiteral("Textdatei [*.txt] (*.txt)")});
        QCOMPARE(suffix, QStringLiteral("txt"));
        if (QByteArray(command) == "actSave")
            QVERIFY(!confirms); // an existing file is replaced without asking
    }
    QCOMPARE(e->BodyText(), QStringLiteral("bleibt"));
    QVERIFY(m_errors.isEmpty());
    TfrmEdit::setFileChooser(hook);
}

void TestEditor::draftSurvivesTitleBarClose()
{
    DM->SetTemplate(QStringLiteral("Hallo,\r\n\r\nGruß"));
    {
        auto e = open(true);
        typeText(subject(e.get()), QStringLiteral("Späne"));
        typeText(memo(e.get()), QStringLiteral("Ölen"));
        QVERIFY(e->close());
    }
    QCOMPARE(readAll(draft(true)), QStringLiteral("Hallo,\r\n\r\nÖlenGruß\r\nSpäne\r\n").toUtf8());
    QVERIFY(!QFile::exists(draft(false)));

    auto again = open(true);
    QCOMPARE(again->BodyText(), QStringLiteral("Hallo,\r\n\r\nÖlenGruß"));
    QCOMPARE(again->Subject(), QStringLiteral("Späne"));
    QVERIFY(action(again.get(), "actPreview")->isEnabled());

    // "Schliessen" discards the draft when told so; the template is back.
    QCOMPARE(closeAnswering(again.get(), QStringLiteral("Verwerfen")), QStringLiteral("Entwurf behalten?"));
    QVERIFY(!again->isVisible());
    QVERIFY(!QFile::exists(draft(true)));
    again.reset();
    QVERIFY(!QFile::exists(draft(true)));
    QCOMPARE(open(true)->BodyText(), QStringLiteral("Hallo,\r\n\r\nGruß"));

    // Opening and closing without a change leaves no draft.
    QVERIFY(open(true)->close());
    QVERIFY(!QFile::exists(draft(true)));
}

void TestEditor::closeAsksBeforeDiscarding_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("published");
    QTest::addColumn<QString>("answer"); // empty: Enter, the default
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("kept");
    QTest::newRow("kept by default") << "Hobel" << false << "" << true << true;
    QTest::newRow("discarded") << "Hobel" << false << "Verwerfen" << true << false;
    QTest::newRow("published") << "Hobel" << true << "" << false << false;
    QTest::newRow("nothing typed") << "" << false << "" << false << false;
}

void TestEditor::closeAsksBeforeDiscarding()
{
    QFETCH(QString, typed);
    QFETCH(bool, published);
    QFETCH(QString, answer);
    QFETCH(bool, asked);
    QFETCH(bool, kept);
    const TfrmEdit::PreviewOpener real =
        TfrmEdit::setPreviewOpener([](QWidget *, qint32, const QString &, const QString &) { return true; });
    const auto restore = qScopeGuard([&real] { TfrmEdit::setPreviewOpener(real); });
    auto e = open(false);
    typeText(memo(e.get()), typed);
    if (published)
        action(e.get(), "actPreview")->trigger();
    QCOMPARE(closeAnswering(e.get(), answer), asked ? QStringLiteral("Entwurf behalten?") : QString());
    QVERIFY(!e->isVisible());
    e.reset();
    QCOMPARE(QFile::exists(draft(false)), kept);
    if (kept)
        QCOMPARE(open(false)->BodyText(), typed);
}

void TestEditor::draftSavedWhileTyping()
{
    DM->PageTitle = QStringLiteral("Hobelbank");
    auto e = open(false);
    QTest::keyClicks(memo(e.get()), QStringLiteral("Zustimmung"));
    QVERIFY(!QFile::exists(draft(false)));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(draft(false)), 6000);
    QCOMPARE(readAll(draft(false)), QByteArray("Zustimmung\r\nRe: Hobelbank\r\n"));
}

void TestEditor::answerDraftKeepsFreshSubject()
{
    DM->PageTitle = QStringLiteral("Hobelbank");
    writeFile(draft(false), QByteArray("Antwort\r\n\r\n"));
    auto e = open(false);
    QCOMPARE(e->BodyText(), QStringLiteral("Antwort"));
    QCOMPARE(e->Subject(), QStringLiteral("Re: Hobelbank"));

    writeFile(draft(false), QByteArray("Antwort\r\nRe: Alt\r\n"));
    QCOMPARE(open(false)->Subject(), QStringLiteral("Re: Alt"));
}

void TestEditor::answerDraftsPerThread()
{
    const auto answer = [this](qint32 thread) {
        DM->ClassifyUrl(QStringLiteral("http://forum.test/forum/read/%1").arg(thread));
        DM->PageTitle = QStringLiteral("Faden %1").arg(thread);
        return open(false);
    };
    const QString draftA = programFolder() + QStringLiteral("AnswerText-4711.txt");
    const QString draftB = programFolder() + QStringLiteral("AnswerText-4712.txt");
    {
        auto a = answer(4711);
        typeText(memo(a.get()), QStringLiteral("Antwort A"));
    }
    {
        // B starts fresh and leaves A's draft alone.
        auto b = answer(4712);
        QCOMPARE(b->BodyText(), QString());
        QCOMPARE(b->Subject(), QStringLiteral("Re: Faden 4712"));
        typeText(memo(b.get()), QStringLiteral("Antwort B"));
    }
    QCOMPARE(readAll(draftA), QByteArray("Antwort A\r\nRe: Faden 4711\r\n"));
    QCOMPARE(readAll(draftB), QByteArray("Antwort B\r\nRe: Faden 4712\r\n"));

    auto a = answer(4711);
    QCOMPARE(a->BodyText(), QStringLiteral("Antwort A"));
    closeAnswering(a.get(), QStringLiteral("Verwerfen"));
    QVERIFY(!QFile::exists(draftA));
    QVERIFY(QFile::exists(draftB));

    // A published answer is no draft; what is typed after it makes one.
    bool published = false;
    qint32 previewThread = -1;
    const TfrmEdit::PreviewOpener real =
        TfrmEdit::setPreviewOpener([&](QWidget *, qint32 thread, const QString &, const QString &) {
            previewThread = thread;
            return published;
        });
    auto b = answer(4712);
    action(b.get(), "actPreview")->trigger();
    QVERIFY(QFile::exists(draftB));
    published = true;
    action(b.get(), "actPreview")->trigger();
    TfrmEdit::setPreviewOpener(real);
    QCOMPARE(previewThread, 4712);
    QVERIFY(!QFile::exists(draftB));
    QCOMPARE(b->BodyText(), QStringLiteral("Antwort B"));
    typeText(memo(b.get()), QStringLiteral("PS"));
    b.reset();
    QCOMPARE(readAll(draftB), QByteArray("PSAntwort B\r\nRe: Faden 4712\r\n"));
}

void TestEditor::unwritableDraftIsANote()
{
    // No folder to write in: the program folder and the per-user data folder
    // both lie below a regular file.
    const QString blocker = m_program.filePath(QStringLiteral("datei"));
    writeFile(blocker, "x");
    const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(blocker + QStringLiteral("/share")));
    const auto restore = qScopeGuard([&dataHome] {
        if (dataHome.isNull())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", dataHome);
    });
    QVERIFY(m_program.start(ProgramStart::bare().programFolder(blocker + QStringLiteral("/prog"))));
    QVERIFY(DM->WorkPath().isEmpty());

    auto e = open(false);
    auto *note = e->findChild<QLabel *>(QStringLiteral("lblDraftNote"));
    QVERIFY(note && !note->isVisible());
    typeText(memo(e.get()), QStringLiteral("Erste Zeile"));
    QTRY_VERIFY_WITH_TIMEOUT(note->isVisible(), 6000);
    QVERIFY(note->text().contains(QStringLiteral("Es gibt keinen beschreibbaren Ordner für Entwürfe.")));
    // Typing goes on into the text, and a later pause brings no report.
    typeText(memo(e.get()), QStringLiteral(" und mehr"));
    QTest::qWait(postfile::DraftKeeper::kDelayMs + 500);
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QCOMPARE(QApplication::focusWidget(), memo(e.get()));
    QCOMPARE(e->BodyText(), QStringLiteral("Erste Zeile und mehr"));
    QVERIFY(e->close());
    QVERIFY(m_errors.isEmpty());
}

void TestEditor::oversizedInputRefused()
{
    const QString huge(postfile::kMaxBodyLength + 1, QLatin1Char('a'));
    // An oversized draft (written by hand, say) is named, and the
    // editor opens empty; so does one whose template is too long.
    writeFile(draft(true), huge.toLatin1() + "\r\nBetreff\r\n");
    DM->SetTemplate(QStringLiteral("Hallo,"));
    QCOMPARE(open(true)->BodyText(), QString());
    QCOMPARE(m_errors.size(), 1);
    QVERIFY2(m_errors.first().startsWith(QStringLiteral("Datei %1 kann nicht geöffnet werden. ").arg(draft(true))),
             qPrintable(m_errors.first()));
    // It is kept aside, where typing on cannot overwrite it.
    const QString aside = programFolder() + QStringLiteral("NewText.nicht-geladen.txt");
    QVERIFY2(m_errors.first().endsWith(QStringLiteral("„%1“ erhalten.").arg(aside)), qPrintable(m_errors.first()));
    QCOMPARE(readAll(aside), huge.toLatin1() + "\r\nBetreff\r\n");
    QVERIFY(!QFile::exists(draft(true)));
    DM->SetTemplate(huge);
    auto e = open(false);
    QCOMPARE(e->BodyText(), QString());
    QCOMPARE(m_errors.size(), 2);

    // A paste that would make the body too long is refused whole.
    e->SetBodyText(QStringLiteral("bleibt"));
    QGuiApplication::clipboard()->setText(huge.left(postfile::kMaxBodyLength - 5));
    QTest::keyClick(memo(e.get()), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(e->BodyText(), QStringLiteral("bleibt"));
    QCOMPARE(m_errors.size(), 3);
    QGuiApplication::clipboard()->setText(huge.left(postfile::kMaxBodyLength - 6));
    QTest::keyClick(memo(e.get()), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(e->BodyText().size(), postfile::kMaxBodyLength);
    QCOMPARE(m_errors.size(), 3);
    // Nor does a line break, whichever Enter makes it.
    QTest::keyClick(memo(e.get()), Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(e->BodyText().size(), postfile::kMaxBodyLength);
}

void TestEditor::openEditorIsModal()
{
    QString caption;
    bool stayedOpen = false;
    const auto watch = onNextModal([&](QWidget *modal) {
        auto *editor = qobject_cast<TfrmEdit *>(modal);
        QVERIFY(editor);
        caption = editor->windowTitle();
        QTest::keyClick(editor, Qt::Key_Escape);
        stayedOpen = editor->isVisible();
        editor->findChild<QAction *>(QStringLiteral("actClose"))->trigger();
    });
    OpenEditor(nullptr, false);
    QVERIFY(watch->acted);
    QCOMPARE(caption, QStringLiteral("Antwort schreiben"));
    QVERIFY(stayedOpen);
}

void TestEditor::spellingMenu()
{
    auto e = open(true);
    e->SetBodyText(QStringLiteral("Der Tishc und der Tishc.\r\n[b]Hobelbnak[/b] mit der Oberfräse"));
    QTest::keyClicks(subject(e.get()), QStringLiteral("Hobelbnak"));
    waitForSpelling(e.get());
    QVERIFY(e->Spelling()->isReady());
    if (!e->Spelling()->hasDictionary())
        QSKIP("no German dictionary on this machine");
    QVERIFY(e->Spelling()->highlighter()->isChecked());
    QCOMPARE(e->Spelling()->bodyMenu(pointOf(e.get(), QStringLiteral("Oberfräse")), e->BodyPopup()), e->BodyPopup());
    testwidgets::keepScreenshot(e.get(), QStringLiteral("editor-spelling.png"), 600);

    // Right-click on a flagged word: suggestions, the two commands, then the
    // menu's own entries; a screen reader reaches them.
    QMenu *menu = nullptr;
    QStringList reachable;
    QTimer::singleShot(50, this, [&] {
        menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        reachable = accessibleMenuEntries(QAccessible::queryAccessibleInterface(qApp));
    });
    QWidget *viewport = memo(e.get())->viewport();
    const QPoint at = pointOf(e.get(), QStringLiteral("Tishc"));
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
    QApplication::sendEvent(viewport, &click);
    QTRY_VERIFY(menu);
    testwidgets::keepScreenshot(QStringLiteral("editor-spelling-menu.png"));
    const QStringList entries = captions(menu->actions());
    const qsizetype suggested = entries.indexOf(QStringLiteral("Zum Wörterbuch hinzufügen"));
    QVERIFY(suggested >= 1 && suggested <= EditSpelling::kMaxSuggestions);
    QCOMPARE(entries.first(), QStringLiteral("Tisch"));
    QCOMPARE(entries.mid(suggested), QStringList({"Zum Wörterbuch hinzufügen", "Ignorieren", "|"})
                                         + captions(e->BodyPopup()->actions()));
    QVERIFY(reachable.contains(QStringLiteral("Ignorieren")));

    // A suggestion replaces the word, and one undo takes it back.
    menu->actions().first()->trigger();
    menu->close();
    QCOMPARE(e->BodyText(), QStringLiteral("Der Tisch und der Tishc.\r\n[b]Hobelbnak[/b] mit der Oberfräse"));
    QTest::keyClick(memo(e.get()), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(e->BodyText(), QStringLiteral("Der Tishc und der Tishc.\r\n[b]Hobelbnak[/b] mit der Oberfräse"));

    // Added to the dictionary, a word is right everywhere and kept in the
    // user's list; ignored, only in this post.
    const auto flagged = [&e](const QString &word) {
        return e->Spelling()->highlighter()->flaggedWordAt(memo(e.get())->cursorForPosition(pointOf(e.get(), word)).position());
    };
    const auto choose = [&e](const QString &word, const QString &entry) {
        std::unique_ptr<QMenu> menu(e->Spelling()->bodyMenu(pointOf(e.get(), word), e->BodyPopup()));
        const QList<QAction *> actions = menu->actions();
        const qsizetype at = captions(actions).indexOf(entry);
        if (at >= 0 && menu.get() != e->BodyPopup())
            actions.at(at)->trigger();
        else
            QFAIL("no such entry");
    };
    choose(QStringLiteral("Hobelbnak"), QStringLiteral("Zum Wörterbuch hinzufügen"));
    QVERIFY(!flagged(QStringLiteral("Hobelbnak")));
    QVERIFY(flagged(QStringLiteral("Tishc")));
    QTRY_COMPARE(spelling::readWordList(spelling::userWordListPath()), QStringList{"Hobelbnak"});
    choose(QStringLiteral("Tishc"), QStringLiteral("Ignorieren"));
    QVERIFY(!flagged(QStringLiteral("Tishc")));
    QVERIFY(!open(true)->Spelling()->highlighter()->isIgnored(QStringLiteral("Tishc")));
}

void TestEditor::spellingSwitch()
{
    auto e = open(true);
    e->SetBodyText(QStringLiteral("Ein Fehlr"));
    waitForSpelling(e.get());
    if (!e->Spelling()->hasDictionary())
        QSKIP("no German dictionary on this machine");
    QAction *toggle = action(e.get(), "actSpelling");
    QVERIFY(toggle->isChecked());
    QVERIFY(e->Spelling()->highlighter()->flaggedWordAt(6));
    toggle->trigger();
    QVERIFY(!e->Spelling()->highlighter()->flaggedWordAt(6));
    QTRY_VERIFY(!spelling::isSwitchedOn());
    QVERIFY(!action(open(true).get(), "actSpelling")->isChecked());
    toggle->trigger();
    QTRY_VERIFY(spelling::isSwitchedOn());
}

void TestEditor::withoutDictionary()
{
    QTemporaryDir empty;
    qputenv("DICPATH", QFile::encodeName(empty.path()));
    spelling::forgetSpeller();
    const auto restore = qScopeGuard([] {
        qunsetenv("DICPATH");
        spelling::forgetSpeller();
    });
    auto e = open(true);
    waitForSpelling(e.get());
    QVERIFY(e->Spelling()->isReady());
    QAction *toggle = action(e.get(), "actSpelling");
    QVERIFY(!toggle->isEnabled());
    QCOMPARE(toggle->text(), QStringLiteral("Rechtschreibung: kein Wörterbuch gefunden"));
    QCOMPARE(e->findChild<QToolBar *>(QStringLiteral("ToolBar2"))->widgetForAction(toggle)->accessibleName(),
             toggle->text());
    typeText(memo(e.get()), QStringLiteral("Ein Fehlr"));
    QTest::keyClick(memo(e.get()), Qt::Key_F2);
    QCOMPARE(e->BodyText(), QStringLiteral("Ein Fehlr[b][/b]"));
    QCOMPARE(e->Spelling()->bodyMenu(pointOf(e.get(), QStringLiteral("Fehlr")), e->BodyPopup()), e->BodyPopup());
}

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
