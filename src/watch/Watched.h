#pragma once

#include "watch/WatchEngine.h"
#include "watch/WatchedThread.h"

#include <QDialog>

class QAction;
namespace Ui {
class TfrmWatched;
}

// The window "Beobachtete Themen": one row per watched thread. Enter or a
// double click opens a thread, Del stops watching it, "Jetzt prüfen" checks
// at once. It only shows and asks; the watching itself is elsewhere.
class TfrmWatched : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmWatched(QWidget *parent = nullptr);
    ~TfrmWatched() override;

    Ui::TfrmWatched *controls() const { return ui; }

    void setThreads(const QList<tarnvik::watch::WatchedThread> &threads);
    void setStatus(const tarnvik::watch::CheckStatus &status);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

Q_SIGNALS:
    void openRequested(qint32 root);
    void unwatchRequested(qint32 root);
    void checkRequested();

private:
    qint32 currentRoot() const;
    void updateStatus();

    Ui::TfrmWatched *ui = nullptr;
    QAction *m_unwatch = nullptr;
    tarnvik::watch::CheckStatus m_status;
    bool m_empty = true;
};
