#include "editor/EditSpelling.h"

#include "editor/SpellHighlighter.h"
#include "editor/SpellSetting.h"
#include "editor/SpellWords.h"
#include "editor/Speller.h"
#include "state/ErrorReport.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QThreadPool>

using namespace tarnvik::spelling;

namespace {

// Writes of the word list and the switch, one after the other, off the
// user-interface thread.
QThreadPool &writer()
{
    static QThreadPool pool;
    pool.setMaxThreadCount(1);
    return pool;
}

// Underlines in a one-line field: its layout takes formats only as those of
// an input method's text, given relative to the caret.
void setLineFormats(QLineEdit *field, const QList<QPair<int, int>> &ranges, const QTextCharFormat &format)
{
    QList<QInputMethodEvent::Attribute> attributes;
    for (const auto &[start, length] : ranges)
        attributes << QInputMethodEvent::Attribute(QInputMethodEvent::TextFormat, start - field->cursorPosition(),
                                                   length, format);
    QInputMethodEvent event(QString(), attributes);
    QCoreApplication::sendEvent(field, &event);
}

} // namespace

EditSpelling::EditSpelling(QPlainTextEdit *body, QLineEdit *subject, QAction *toggle, const QStringList &wordLists,
                           QObject *parent)
    : QObject(parent), m_body(body), m_subject(subject), m_toggle(toggle),
      m_highlighter(new SpellHighlighter(body->document()))
{
    m_highlighter->setParent(this);
    m_highlighter->setActive(isSwitchedOn());
    m_toggle->setChecked(m_highlighter->isActive());
    m_highlighter->setVisibleRange([body] {
        const QRect shown = body->viewport()->rect();
        return std::pair(body->cursorForPosition(shown.topLeft()).position(),
                         body->cursorForPosition(shown.bottomRight()).position());
    });
    connect(m_toggle, &QAction::toggled, this, &EditSpelling::switchTo);

    m_subjectIdle.setSingleShot(true);
    m_subjectIdle.setInterval(SpellHighlighter::kIdleMs);
    connect(&m_subjectIdle, &QTimer::timeout, this, &EditSpelling::checkSubject);
    connect(m_subject, &QLineEdit::textEdited, this, [this] {
        // The underlines would slide off their words while typing goes on.
        m_subjectFlags.clear();
        setLineFormats(m_subject, {}, {});
    });
    // Any change of the subject, typed or set, is looked up once it rests.
    connect(m_subject, &QLineEdit::textChanged, &m_subjectIdle, qOverload<>(&QTimer::start));
    m_subject->installEventFilter(this);

    // The dictionary loads once the editor has had a moment to lay out its
    // text, so that its first showing does not share the processor with it.
    QTimer::singleShot(SpellHighlighter::kIdleMs, this, [this, wordLists] {
        requestSpeller(wordLists, this, [this](std::shared_ptr<Speller> speller) { dictionaryReady(std::move(speller)); });
    });
}

EditSpelling::~EditSpelling() = default;

bool EditSpelling::hasDictionary() const
{
    return m_highlighter->speller() != nullptr;
}

void EditSpelling::dictionaryReady(std::shared_ptr<Speller> speller)
{
    m_ready = true;
    if (!speller) {
        m_toggle->setChecked(false);
        m_toggle->setEnabled(false);
        m_toggle->setText(QStringLiteral("Rechtschreibung: kein Wörterbuch gefunden"));
    }
    m_highlighter->setSpeller(std::move(speller));
    checkSubject();
}

void EditSpelling::switchTo(bool on)
{
    if (!hasDictionary())
        return;
    m_highlighter->setActive(on);
    checkSubject();
    writer().start([on] { setSwitchedOn(on); });
}

void EditSpelling::checkSubject()
{
    m_subjectFlags.clear();
    if (Speller *speller = m_highlighter->speller(); speller && m_highlighter->isActive()) {
        // A subject is one short line: looked up at once.
        const QString text = m_subject->text();
        for (const Word &w : scanLine(text, false).words) {
            const QString word = text.mid(w.start, w.length);
            if (!m_highlighter->isIgnored(word) && !speller->check(word, w.dotAfter))
                m_subjectFlags.append({int(w.start), int(w.length)});
        }
    }
    QTextCharFormat underline;
    underline.setUnderlineStyle(QTextCharFormat::WaveUnderline);
    underline.setUnderlineColor(Qt::red);
    setLineFormats(m_subject, m_subjectFlags, underline);
}

QMenu *EditSpelling::bodyMenu(const QPoint &pos, QMenu *standard)
{
    const QTextCursor at = m_body->cursorForPosition(pos);
    const std::optional<SpellHighlighter::Flagged> flagged = m_highlighter->flaggedWordAt(at.position());
    if (!flagged)
        return standard;
    const int start = flagged->start;
    const int length = int(flagged->word.size());
    QMenu *menu = spellingMenu(m_body, flagged->word, [this, start, length](const QString &replacement) {
        // One edit, so that one undo takes it back.
        QTextCursor cursor(m_body->document());
        cursor.setPosition(start);
        cursor.setPosition(start + length, QTextCursor::KeepAnchor);
        cursor.insertText(replacement);
        m_body->setTextCursor(cursor);
    });
    menu->addActions(standard->actions());
    return menu;
}

bool EditSpelling::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_subject || event->type() != QEvent::ContextMenu)
        return QObject::eventFilter(watched, event);
    auto *click = static_cast<QContextMenuEvent *>(event);
    const int position = m_subject->cursorPositionAt(click->pos());
    for (const auto &[start, length] : std::as_const(m_subjectFlags)) {
        if (position < start || position > start + length)
            continue;
        const QString word = m_subject->text().mid(start, length);
        QMenu *standard = m_subject->createStandardContextMenu();
        QMenu *menu = spellingMenu(m_subject, word, [this, start, length](const QString &replacement) {
            m_subject->setSelection(start, length);
            m_subject->insert(replacement);
        });
        menu->addActions(standard->actions());
        standard->setParent(menu);
        menu->popup(click->globalPos());
        return true;
    }
    return false;
}

QMenu *EditSpelling::spellingMenu(QWidget *parent, const QString &word,
                                  const std::function<void(const QString &)> &replace)
{
    auto *menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("popSpelling"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // The lookup takes a moment; only here, never while typing.
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const QStringList suggestions = m_highlighter->speller()->suggestions(word, kMaxSuggestions);
    QGuiApplication::restoreOverrideCursor();
    for (const QString &suggestion : suggestions)
        connect(menu->addAction(suggestion), &QAction::triggered, this, [replace, suggestion] { replace(suggestion); });
    if (suggestions.isEmpty())
        menu->addAction(QStringLiteral("Keine Vorschläge"))->setEnabled(false);
    connect(menu->addAction(QStringLiteral("Zum Wörterbuch hinzufügen")), &QAction::triggered, this,
            [this, word] { addToDictionary(word); });
    connect(menu->addAction(QStringLiteral("Ignorieren")), &QAction::triggered, this, [this, word] { ignore(word); });
    menu->addSeparator();
    return menu;
}

void EditSpelling::addToDictionary(const QString &word)
{
    m_highlighter->speller()->addWord(word);
    m_highlighter->refreshWord(word);
    checkSubject();
    if (!isListWord(word))
        return;
    const QString list = userWordListPath();
    writer().start([list, word] {
        QString error;
        if (!appendToWordList(list, word, error) && QCoreApplication::instance())
            QMetaObject::invokeMethod(QCoreApplication::instance(), [error] { tarnvik::reportError(error); });
    });
}

void EditSpelling::ignore(const QString &word)
{
    m_highlighter->ignore(word);
    checkSubject();
}
