#pragma once

#include <QDialog>

namespace Ui {
class TfrmExportProgress;
}

// The export's progress: a line of text, a bar, and "Abbrechen" while there
// is something to cancel. It is shown without a loop of its own, so the
// export goes on through the program's one event loop; setting a value
// never processes events.
class TfrmExportProgress : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmExportProgress(QWidget *owner);
    ~TfrmExportProgress() override;

    // A text with a bar from 0 to `total`; with `total` 0 the bar only moves.
    void setProgress(const QString &text, int done = 0, int total = 0);
    // A second line under the text: what the current step is doing now
    // (the office's own stage); empty leaves the line blank.
    void setDetail(const QString &detail);
    // Without a cancel button Escape and the close button do nothing.
    void setCancellable(bool cancellable);
    bool cancellable() const { return m_cancellable; }
    QString text() const;
    QString detail() const;

Q_SIGNALS:
    void cancelRequested();

protected:
    void reject() override;
    void closeEvent(QCloseEvent *event) override;

private:
    Ui::TfrmExportProgress *ui;
    bool m_cancellable = true;
};
