#include "watch/Watched.h"

#include "state/DialogFont.h"
#include "ui_Watched.h"

#include <QAction>
#include <QHeaderView>
#include <QKeyEvent>

using namespace tarnvik::watch;

namespace {
constexpr int kRootRole = Qt::UserRole;

QString whenText(const QDateTime &when, const QDateTime &now)
{
    if (!when.isValid())
        return QStringLiteral("noch nicht");
    return when.toString(when.date() == now.date() ? QStringLiteral("HH:mm") : QStringLiteral("dd.MM.yyyy HH:mm"));
}
} // namespace

TfrmWatched::TfrmWatched(QWidget *parent) : QDialog(parent), ui(new Ui::TfrmWatched)
{
    tarnvik::substituteDialogFont();
    ui->setupUi(this);
    ui->lvThreads->header()->setStretchLastSection(false);
    ui->lvThreads->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    ui->lvThreads->setColumnWidth(1, 150);
    ui->lvThreads->setColumnWidth(2, 110);
    ui->lvThreads->setColumnWidth(3, 130);
    ui->lvThreads->setColumnWidth(4, 110);
    ui->lvThreads->setColumnWidth(5, 90);

    auto *open = new QAction(QStringLiteral("Öffnen"), ui->lvThreads);
    auto *unwatch = new QAction(QStringLiteral("Nicht mehr beobachten"), ui->lvThreads);
    ui->lvThreads->addActions({open, unwatch});
    ui->lvThreads->installEventFilter(this);
    m_unwatch = unwatch;

    const auto openCurrent = [this] {
        if (const qint32 root = currentRoot())
            Q_EMIT openRequested(root);
    };
    connect(ui->lvThreads, &QTreeWidget::itemActivated, this, openCurrent);
    connect(open, &QAction::triggered, this, openCurrent);
    connect(unwatch, &QAction::triggered, this, [this] {
        if (const qint32 root = currentRoot())
            Q_EMIT unwatchRequested(root);
    });
    connect(ui->btnCheck, &QPushButton::clicked, this, &TfrmWatched::checkRequested);
    connect(ui->btnClose, &QPushButton::clicked, this, &QDialog::close);
    updateStatus();
}

TfrmWatched::~TfrmWatched()
{
    delete ui;
}

// Del in the list stops watching its current thread, as Enter opens it.
bool TfrmWatched::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->lvThreads && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
        m_unwatch->trigger();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

qint32 TfrmWatched::currentRoot() const
{
    const QTreeWidgetItem *item = ui->lvThreads->currentItem();
    return item ? item->data(0, kRootRole).toInt() : 0;
}

void TfrmWatched::setThreads(const QList<WatchedThread> &threads)
{
    struct Row {
        const WatchedThread *thread;
        int news; // new messages of a thread still in the forum
    };
    QList<Row> rows;
    rows.reserve(threads.size());
    for (const WatchedThread &t : threads)
        rows.append({&t, t.gone ? 0 : t.newCount()});
    // Threads with news first, the rest by title.
    std::stable_sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) {
        if ((a.news > 0) != (b.news > 0))
            return a.news > 0;
        return a.thread->title.localeAwareCompare(b.thread->title) < 0;
    });
    const qint32 current = currentRoot();
    const QDateTime now = QDateTime::currentDateTime();
    ui->lvThreads->clear();
    for (const auto &[t, count] : std::as_const(rows)) {
        const KnownMessage *newest = t->newest();
        const QString news = t->gone ? QStringLiteral("nicht mehr im Forum")
                             : count > 0 ? QStringLiteral("%1 neue").arg(count)
                                         : QString();
        auto *item = new QTreeWidgetItem(ui->lvThreads,
                                         {t->title, sectionName(t->section), news, newest ? newest->author : QString(),
                                          newest ? newest->time : QString(), whenText(t->checkedAt, now)});
        item->setData(0, kRootRole, t->root);
        item->setToolTip(0, t->title);
        if (count > 0) {
            QFont bold = item->font(0);
            bold.setBold(true);
            for (int column = 0; column < item->columnCount(); ++column)
                item->setFont(column, bold);
        }
        if (t->root == current || (current == 0 && !ui->lvThreads->currentItem()))
            ui->lvThreads->setCurrentItem(item);
    }
    m_empty = threads.isEmpty();
    updateStatus();
}

void TfrmWatched::setStatus(const CheckStatus &status)
{
    m_status = status;
    updateStatus();
}

void TfrmWatched::updateStatus()
{
    QString text;
    if (m_empty)
        text = QStringLiteral("Noch keine Themen beobachtet: „Beobachten [F7]“ auf der Seite eines Themas nimmt es auf.");
    else if (m_status.running)
        text = QStringLiteral("Prüfung läuft …");
    else if (m_status.nextCheck.isValid())
        text = QStringLiteral("Nächste Prüfung um %1.").arg(m_status.nextCheck.toString(QStringLiteral("HH:mm")));
    if (!m_status.problem.isEmpty() && !m_empty && !m_status.running)
        text = m_status.problem + QStringLiteral(". ") + text;
    ui->lblStatus->setText(text);
    ui->btnCheck->setEnabled(!m_status.running);
}
