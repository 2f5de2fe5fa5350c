#pragma once

#include <QFrame>
#include <QPointer>

class QWebEnginePage;
class QWebEngineFindTextResult;
namespace Ui {
class FindBar;
}

// The small bar under a page that finds text in it, as in a desktop browser:
// the page's matches are found while typing, Enter goes to the next one,
// Shift+Enter to the one before, Esc closes the bar.
class FindBar : public QFrame
{
    Q_OBJECT
public:
    FindBar(QWebEnginePage *page, QWidget *parent);
    ~FindBar() override;

    // Shows the bar with the field focused: with `text` when it is not empty
    // (the page's selection), otherwise with the last search, selected.
    void open(const QString &text);
    // Hides the bar and takes the page's marks away.
    void dismiss();
    void find(bool backward);

    // "3 von 12", "Kein Treffer", or empty while nothing is sought.
    QString matchesText() const;

Q_SIGNALS:
    // The bar was closed; the page may have the keyboard back.
    void dismissed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showResult(const QWebEngineFindTextResult &result);

    Ui::FindBar *ui;
    QPointer<QWebEnginePage> m_page;
};
