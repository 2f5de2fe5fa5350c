#include "editor/Edit.h"

#include "automation/Preview.h"
#include "editor/BodyText.h"
#include "editor/EditSpelling.h"
#include "editor/Link.h"
#include "editor/Markup.h"
#include "editor/PostFile.h"
#include "editor/Speller.h"
#include "state/DModul.h"
#include "state/DialogFont.h"
#include "state/ErrorReport.h"
#include "state/Icons.h"
#include "state/TextFile.h"
#include "ui_Edit.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>

using namespace tarnvik;

namespace {

TfrmEdit::PreviewOpener &previewOpener()
{
    static TfrmEdit::PreviewOpener opener;
    return opener;
}

} // namespace

void OpenEditor(QWidget *owner, bool NewPost)
{
    TfrmEdit editor(owner, NewPost);
    editor.exec();
}

TfrmEdit::PreviewOpener TfrmEdit::setPreviewOpener(PreviewOpener opener)
{
    PreviewOpener previous = std::move(previewOpener());
    previewOpener() = std::move(opener);
    return previous;
}

TfrmEdit::TfrmEdit(QWidget *owner, bool NewPost)
    : QDialog(owner), ui(new Ui::TfrmEdit), m_NewPost(NewPost)
{
    tarnvik::substituteDialogFont();
    ui->setupUi(this);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
                   | Qt::WindowCloseButtonHint);
    setMinimumSize(800, 400);
    resize(800, 480);

    QFont bodyFont(QStringLiteral("Arial"));
    bodyFont.setPixelSize(13);
    ui->Memo->setFont(bodyFont);
    ui->Memo->setContextMenuPolicy(Qt::CustomContextMenu);
    ui->Memo->setMaxLength(postfile::kMaxBodyLength);
    ui->EBetreff->setMaxLength(int(postfile::kMaxSubjectLength));
    connect(ui->Memo, &TBodyEdit::insertRefused, this, [] {
        reportError(QStringLiteral("Der Text kann nicht eingefügt werden. Ein Beitrag hat höchstens %1 Zeichen")
                        .arg(postfile::kMaxBodyLength));
    });

    setupCommands();
    m_spelling = new EditSpelling(ui->Memo, ui->EBetreff, ui->actSpelling,
                                  {DM ? DM->DataFile(QString::fromLatin1(spelling::kWorkshopWordsName)) : QString(),
                                   spelling::userWordListPath()},
                                  this);
    setupMenus();

    connect(ui->EBetreff, &QLineEdit::textChanged, this, &TfrmEdit::EBetreffChange);

    if (m_NewPost) {
        setWindowTitle(QStringLiteral("Neuen Beitrag schreiben"));
        ui->EBetreff->setFocus();
    } else {
        setWindowTitle(QStringLiteral("Antwort schreiben"));
        setSubject(markup::answerSubject(DM ? DM->PageTitle : QString()));
        ui->Memo->setFocus();
    }
    EBetreffChange();

    // The draft belongs to the thread shown now, whatever the main window
    // shows later.
    const QString folder = DM ? DM->WorkPath() : QString();
    if (!folder.isEmpty()) {
        if (m_NewPost) {
            m_draftFile = folder + QStringLiteral("NewText.txt");
        } else {
            const QString name = postfile::answerDraftName(DM->ThreadNumber());
            postfile::pruneAnswerDrafts(folder, postfile::kMaxAnswerDrafts, name);
            m_draftFile = folder + name;
        }
    }
    loadStartText();
    RebuildPictureMenu();

    // Only what the user does from here on counts as a change of the draft.
    m_draft = std::make_unique<postfile::DraftKeeper>(m_draftFile, [this] {
        return postfile::draftPost(body::documentText(*ui->Memo->document()), ui->EBetreff->text());
    });
    connect(m_draft.get(), &postfile::DraftKeeper::saveFailed, this, &TfrmEdit::showDraftNote);
    connect(m_draft.get(), &postfile::DraftKeeper::saveRecovered, ui->lblDraftNote, &QWidget::hide);
    connect(ui->Memo->document(), &QTextDocument::contentsChanged, m_draft.get(), &postfile::DraftKeeper::changed);
    connect(ui->EBetreff, &QLineEdit::textChanged, m_draft.get(), &postfile::DraftKeeper::changed);
}

TfrmEdit::~TfrmEdit()
{
    // Whatever way the window goes, pending text reaches the draft.
    m_draft->saveNow();
    delete ui;
}

void TfrmEdit::setupCommands()
{
    // One row per command: its icon, and either its own handler or the tag
    // it puts around the selection (escaped: HTML written with entities),
    // and a key beside the one of the layout.
    struct Command {
        QAction *action;
        int icon;
        void (TfrmEdit::*run)() = nullptr;
        const char *tag = nullptr;
        bool escaped = false;
        QKeySequence key = {};
    };
    const Command commands[] = {
        {ui->actOpen, icoOpen, &TfrmEdit::actOpenExecute},
        {ui->actSave, icoSave, &TfrmEdit::actSaveExecute},
        {ui->actBold, icoBold, nullptr, "b", false, QKeySequence(Qt::CTRL | Qt::Key_B)},
        {ui->actItalic, icoItalic, nullptr, "i", false, QKeySequence(Qt::CTRL | Qt::Key_I)},
        {ui->actRedText, icoRed, nullptr, "red"},
        {ui->actList, icoListe, &TfrmEdit::actListExecute},
        {ui->actLink, icoLink, &TfrmEdit::actLinkExecute},
        {ui->actInsertPic, icoPicture, &TfrmEdit::actInsertPicExecute},
        {ui->actPreview, icoPreview, &TfrmEdit::actPreviewExecute},
        {ui->actClose, icoDoor2, &TfrmEdit::actCloseExecute},
        {ui->actHoch, icoHoch, nullptr, "sup", true},
        {ui->actTief, icoTief, nullptr, "sub", true},
        {ui->actBigText, icoBig, nullptr, "big"},
        {ui->actCenter, icoCenter, nullptr, "center"},
        {ui->actCode, icoCode, nullptr, "code"},
    };
    for (const Command &command : commands) {
        command.action->setIcon(TarnvikIcons::icon(command.icon));
        // The function keys work wherever the focus is in this window.
        command.action->setShortcutContext(Qt::WindowShortcut);
        if (!command.key.isEmpty())
            command.action->setShortcuts({command.action->shortcut(), command.key});
        if (command.run) {
            connect(command.action, &QAction::triggered, this, command.run);
            continue;
        }
        const QString word = QString::fromLatin1(command.tag);
        const bool escaped = command.escaped;
        connect(command.action, &QAction::triggered, this, [this, word, escaped] {
            const QTextCursor cursor = ui->Memo->textCursor();
            applyCursor(escaped ? markup::insertEscapedTag(cursor, word) : markup::insertTag(cursor, word));
        });
    }

    const auto sizeButtons = [this](QToolBar *bar, QSize size) {
        for (QAction *action : bar->actions()) {
            if (action->isSeparator())
                continue;
            if (QWidget *button = bar->widgetForAction(action)) {
                button->setMinimumSize(size);
                button->setAccessibleName(action->text());
                connect(action, &QAction::changed, button,
                        [button, action] { button->setAccessibleName(action->text()); });
                button->installEventFilter(this);
            }
        }
    };
    sizeButtons(ui->ToolBar1, QSize(58, 44));
    sizeButtons(ui->ToolBar2, QSize(68, 44));
}

void TfrmEdit::setupMenus()
{
    setupPictureMenu();

    // The body's own menu, in place of the text field's standard one.
    popMemo = new QMenu(this);
    popMemo->setObjectName(QStringLiteral("popMemo"));
    popMemo->addActions({ui->actBold, ui->actItalic, ui->actRedText, ui->actList, ui->actLink});
    popMemo->addSeparator();
    popMemo->addActions({ui->actHoch, ui->actTief, ui->actBigText, ui->actCenter, ui->actCode});
    connect(ui->Memo, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) {
                m_spelling->bodyMenu(pos, popMemo)->popup(ui->Memo->viewport()->mapToGlobal(pos));
            });
}

void TfrmEdit::loadStartText()
{
    const QString &draft = m_draftFile;
    if (!draft.isEmpty() && QFileInfo(draft).isFile()) {
        postfile::Post post;
        QString error;
        if (postfile::read(draft, post, error)) {
            // An answer keeps its fresh subject when the draft has none.
            if (m_NewPost || !post.subject.isEmpty())
                setSubject(post.subject);
            setBody(postfile::draftBody(post));
        } else if (QFileInfo(draft).size() > 0) {
            // A draft the editor cannot take (too large, no text) is named
            // and set aside, so that typing on cannot write over it; the
            // editor opens empty.
            const QString aside = postfile::setDraftAside(draft);
            if (!aside.isEmpty())
                error += QStringLiteral(" Der Entwurf bleibt als „%1“ erhalten.").arg(QDir::toNativeSeparators(aside));
            reportError(error);
        }
        return;
    }
    const QString templateText = DM ? body::toLf(DM->Template()) : QString();
    if (templateText.isEmpty())
        return;
    if (templateText.size() > postfile::kMaxBodyLength) {
        reportError(QStringLiteral("Die Vorlage wird nicht eingesetzt. Sie ist für einen Beitrag zu lang: "
                                   "höchstens %1 Zeichen")
                        .arg(postfile::kMaxBodyLength));
        return;
    }
    ui->Memo->setPlainText(templateText);
    QTextCursor cursor = ui->Memo->textCursor();
    cursor.setPosition(int(markup::templateCaretPosition(templateText)));
    ui->Memo->setTextCursor(cursor);
}

void TfrmEdit::showDraftNote(const QString &error)
{
    // A note in the window rather than a message box: a box would pop up in
    // the middle of typing and take the keys meant for the text, and it
    // would be gone while the text is still unprotected.
    ui->lblDraftNote->setText(QStringLiteral("Der Entwurf kann nicht gespeichert werden. %1 Sichern Sie den Text "
                                             "mit „Speichern“ in eine Datei, bevor Sie das Fenster schliessen.")
                                  .arg(standardErrorText(error)));
    ui->lblDraftNote->show();
}

void TfrmEdit::done(int result)
{
    m_draft->saveNow();
    QDialog::done(result);
}

void TfrmEdit::keyPressEvent(QKeyEvent *event)
{
    // The editor is a window, not a question: Escape does not close it.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TfrmEdit::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        // Hints show on the top toolbar only, and only for commands that
        // have one.
        if (auto *button = qobject_cast<QToolButton *>(watched)) {
            const QAction *action = button->defaultAction();
            const bool hinted = button->parentWidget() == ui->ToolBar1 && action != ui->actOpen
                                && action != ui->actSave;
            if (!hinted)
                return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

QString TfrmEdit::BodyText() const
{
    return body::toCrLf(body::documentText(*ui->Memo->document()));
}

void TfrmEdit::SetBodyText(const QString &text)
{
    ui->Memo->setPlainText(body::toLf(text));
}

qsizetype TfrmEdit::SelStart() const
{
    return body::crLfPosition(body::documentText(*ui->Memo->document()), ui->Memo->textCursor().selectionStart());
}

qsizetype TfrmEdit::SelLength() const
{
    const QString text = body::documentText(*ui->Memo->document());
    const QTextCursor cursor = ui->Memo->textCursor();
    return body::crLfPosition(text, cursor.selectionEnd()) - body::crLfPosition(text, cursor.selectionStart());
}

void TfrmEdit::SetSelection(qsizetype start, qsizetype length)
{
    const QString text = body::documentText(*ui->Memo->document());
    QTextCursor cursor = ui->Memo->textCursor();
    cursor.setPosition(int(body::lfPosition(text, start)));
    cursor.setPosition(int(body::lfPosition(text, start + length)), QTextCursor::KeepAnchor);
    ui->Memo->setTextCursor(cursor);
}

QString TfrmEdit::Subject() const
{
    return ui->EBetreff->text();
}

void TfrmEdit::applyCursor(const QTextCursor &cursor)
{
    ui->Memo->setTextCursor(cursor);
    ui->Memo->ensureCursorVisible();
}

void TfrmEdit::setSubject(const QString &subject)
{
    if (ui->EBetreff->text() != subject)
        ui->EBetreff->setText(subject);
}

void TfrmEdit::setBody(const QString &lfText)
{
    // Through the cursor, so that the user can take it back with undo.
    QTextCursor cursor(ui->Memo->document());
    cursor.select(QTextCursor::Document);
    cursor.insertText(lfText);
    cursor.movePosition(QTextCursor::Start);
    applyCursor(cursor);
}

postfile::Post TfrmEdit::currentPost() const
{
    return {splitLines(body::documentText(*ui->Memo->document())), ui->EBetreff->text()};
}

void TfrmEdit::EBetreffChange()
{
    ui->actPreview->setEnabled(!ui->EBetreff->text().isEmpty());
}

void TfrmEdit::actListExecute()
{
    applyCursor(markup::insertList(ui->Memo->textCursor()));
}

void TfrmEdit::actLinkExecute()
{
    QString text = body::toLf(ui->Memo->textCursor().selectedText());
    if (!AskLink(this, text))
        return;
    applyCursor(markup::insertLink(ui->Memo->textCursor(), text));
}

void TfrmEdit::actPreviewExecute()
{
    if (!ui->actPreview->isEnabled())
        return;
    const qint32 threadNumber = m_NewPost || !DM ? 0 : DM->ThreadNumber();
    const PreviewOpener &opener = previewOpener();
    const bool published = opener ? opener(this, threadNumber, BodyText(), ui->EBetreff->text())
                                  : OpenPreview(this, threadNumber, BodyText(), ui->EBetreff->text());
    // The forum holds the text now: it is no draft to offer again. The
    // editor still shows it, and typing on makes a new draft.
    if (published)
        m_draft->clear();
}

void TfrmEdit::actCloseExecute()
{
    // Text that was not sent is kept unless the user says otherwise: a
    // close button is easily taken for "done".
    if (m_draft->holdsText()) {
        QMessageBox question(QMessageBox::Question, QStringLiteral("Tarnvik"), QStringLiteral("Entwurf behalten?"),
                             QMessageBox::NoButton, this);
        question.setInformativeText(QStringLiteral("Ein behaltener Entwurf erscheint beim nächsten Öffnen wieder."));
        QPushButton *keep = question.addButton(QStringLiteral("Behalten"), QMessageBox::AcceptRole);
        question.addButton(QStringLiteral("Verwerfen"), QMessageBox::DestructiveRole);
        question.setDefaultButton(keep);
        question.setEscapeButton(keep);
        question.exec();
        if (question.clickedButton() == keep) {
            // A draft that cannot be written keeps the window open, with
            // its note, rather than lose the text.
            if (m_draft->saveNow())
                accept();
            return;
        }
    }
    m_draft->discard();
    accept();
}
