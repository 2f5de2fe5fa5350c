#include "state/PasswortWait.h"

#include "state/DModul.h"

#include <QEvent>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace tarnvik {

namespace {

// Answers within this time need no note.
constexpr int kNoteDelayMs = 300;
constexpr int kNoteMargin = 4;

// Waits, as a child of the window, for the keychain's answer; it shows the
// note, in the window's lower left corner, once the wait takes long.
class PasswortWaiter : public QObject
{
public:
    PasswortWaiter(QWidget *window, const TDM &dm, std::function<void()> then)
        : QObject(window), m_window(window), m_then(std::move(then))
    {
        connect(&dm, &TDM::KeychainAnswered, this, [this, &dm] {
            if (dm.PasswortKnown())
                done();
        });
        QTimer::singleShot(kNoteDelayMs, this, [this] { showNote(); });
    }

private:
    void showNote()
    {
        m_note = new QLabel(QStringLiteral("Warte auf den Schlüsselbund …"), m_window);
        m_note->setObjectName(QStringLiteral("lblPasswortWait"));
        m_note->setTextFormat(Qt::PlainText);
        m_note->setAccessibleName(m_note->text());
        m_note->setAutoFillBackground(true);
        m_note->setMargin(2);
        m_note->adjustSize();
        place();
        m_note->show();
        m_note->raise();
        m_window->installEventFilter(this);
    }

    void place()
    {
        m_note->move(kNoteMargin, m_window->height() - m_note->height() - kNoteMargin);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::Resize && m_note)
            place();
        return false;
    }

    void done()
    {
        // The window may close in `then`, and this waiter with it.
        std::function<void()> then = std::move(m_then);
        delete m_note;
        m_window->removeEventFilter(this);
        setParent(nullptr);
        deleteLater();
        then();
    }

    QWidget *m_window;
    std::function<void()> m_then;
    QPointer<QLabel> m_note;
};

} // namespace

void afterPasswortKnown(QWidget *window, std::function<void()> then)
{
    if (DM)
        afterPasswortKnown(window, *DM, std::move(then));
    else if (window && then)
        then();
}

void afterPasswortKnown(QWidget *window, const TDM &dm, std::function<void()> then)
{
    if (!window || !then)
        return;
    if (dm.PasswortKnown())
        then();
    else
        new PasswortWaiter(window, dm, std::move(then));
}

} // namespace tarnvik
