#include "editor/Speller.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

namespace tarnvik::spelling {

namespace {

using Ready = std::function<void(std::shared_ptr<Speller>)>;

struct Shared {
    std::shared_ptr<Speller> speller;
    bool loaded = false;
    bool loading = false;
    // A load still running when the speller was forgotten is not taken.
    int generation = 0;
    QList<std::pair<QPointer<QObject>, Ready>> waiting;
};

Shared &shared()
{
    static Shared instance;
    return instance;
}

void deliver(const std::shared_ptr<Speller> &speller, int generation)
{
    Shared &s = shared();
    if (generation != s.generation)
        return;
    s.speller = speller;
    s.loaded = true;
    s.loading = false;
    const auto waiting = std::exchange(s.waiting, {});
    for (const auto &[receiver, ready] : waiting) {
        if (receiver)
            ready(speller);
    }
}

} // namespace

void requestSpeller(const QStringList &wordLists, QObject *receiver, Ready ready)
{
    Shared &s = shared();
    s.waiting.append({receiver, std::move(ready)});
    if (s.loaded) {
        // Still after the caller's own setup, as a fresh load would be.
        const int generation = s.generation;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [generation] { deliver(shared().speller, generation); },
            Qt::QueuedConnection);
        return;
    }
    if (s.loading)
        return;
    s.loading = true;
    const int generation = s.generation;
    QThreadPool::globalInstance()->start([wordLists, generation] {
        std::shared_ptr<Speller> speller = Speller::load(findGermanDictionary(), wordLists);
        // The program may be ending meanwhile.
        if (QCoreApplication *app = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                app, [speller, generation] { deliver(speller, generation); }, Qt::QueuedConnection);
    });
}

void forgetSpeller()
{
    Shared &s = shared();
    s = Shared{{}, false, false, s.generation + 1, {}};
}

} // namespace tarnvik::spelling
