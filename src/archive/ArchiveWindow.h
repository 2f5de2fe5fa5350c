#pragma once

#include "archive/ArchiveStore.h"

#include <QDialog>

class QTimer;
class QTreeWidgetItem;
namespace Ui {
class TfrmArchiv;
}
namespace tarnvik::archive {
class Archive;
}

// The window "Archiv": one search field whose results follow the typing
// after a short pause, grouped by thread, each hit with its author, date
// and a snippet with the words found marked; filters for section, author
// and time. Down moves from the field into the results, Enter opens, Esc
// closes. The search itself runs in the archive's reader thread.
class TfrmArchiv : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmArchiv(tarnvik::archive::Archive *archive, QWidget *parent = nullptr);
    ~TfrmArchiv() override;

    Ui::TfrmArchiv *controls() const { return ui; }
    // The last answer shown.
    const tarnvik::archive::SearchResult &result() const { return m_result; }

    // How long typing must rest before the search starts.
    static constexpr int kPauseMs = 300;

Q_SIGNALS:
    // The user opens a result: the thread, scrolled to the message.
    void openRequested(qint64 thread, qint64 message);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    tarnvik::archive::SearchRequest request() const;
    void runSearch();
    void showResult(quint64 serial, const tarnvik::archive::SearchResult &result);
    void openItem(QTreeWidgetItem *item);

    Ui::TfrmArchiv *ui = nullptr;
    tarnvik::archive::Archive *m_archive = nullptr;
    QTimer *m_pause = nullptr;
    quint64 m_serial = 0;
    tarnvik::archive::SearchResult m_result;
};
