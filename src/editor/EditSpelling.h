#pragma once

#include <QList>
#include <QObject>
#include <QPair>
#include <QTimer>

#include <functional>
#include <memory>

class QAction;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPoint;

namespace tarnvik::spelling {
class SpellHighlighter;
class Speller;
} // namespace tarnvik::spelling

// The spelling of the post editor: red wavy underlines in the body and the
// subject, on a flagged word's context menu the suggestions, "Zum
// Wörterbuch hinzufügen" and "Ignorieren" above the menu's own entries, and
// the "Rechtschreibung" switch. Without a German dictionary the editor
// works as without spelling and the switch says so.
class EditSpelling : public QObject
{
    Q_OBJECT
public:
    EditSpelling(QPlainTextEdit *body, QLineEdit *subject, QAction *toggle, const QStringList &wordLists,
                 QObject *parent);
    ~EditSpelling() override;

    static constexpr int kMaxSuggestions = 7;

    // The body's context menu for a click at `pos` (viewport coordinates):
    // `standard` itself, or on a flagged word a menu of its own that holds
    // the spelling entries above the entries of `standard`.
    QMenu *bodyMenu(const QPoint &pos, QMenu *standard);

    tarnvik::spelling::SpellHighlighter *highlighter() const { return m_highlighter; }
    // Whether the dictionary has loaded or was found missing, and whether
    // it is there.
    bool isReady() const { return m_ready; }
    bool hasDictionary() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void dictionaryReady(std::shared_ptr<tarnvik::spelling::Speller> speller);
    void switchTo(bool on);
    void checkSubject();
    QMenu *spellingMenu(QWidget *parent, const QString &word, const std::function<void(const QString &)> &replace);
    void addToDictionary(const QString &word);
    void ignore(const QString &word);

    QPlainTextEdit *m_body;
    QLineEdit *m_subject;
    QAction *m_toggle;
    tarnvik::spelling::SpellHighlighter *m_highlighter;
    bool m_ready = false;
    QTimer m_subjectIdle;
    // The flagged words of the subject: start and length.
    QList<QPair<int, int>> m_subjectFlags;
};
