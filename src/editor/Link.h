#pragma once

#include <QDialog>

namespace Ui {
class TfrmLink;
}

// Asks for a link's address and label, with `text` as the label to start
// with. On OK returns true and replaces `text` with the finished link
// markup; on cancel returns false and leaves it alone.
bool AskLink(QWidget *owner, QString &text);

// The link dialog: an address and an optional label. Nothing in it is
// checked; "OK" is always available.
class TfrmLink : public QDialog
{
    Q_OBJECT
public:
    TfrmLink(QWidget *owner, const QString &label);
    ~TfrmLink() override;

    // The link markup for the fields as they stand.
    QString LinkMarkup() const;

private:
    Ui::TfrmLink *ui;
};
