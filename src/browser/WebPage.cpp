#include "browser/WebPage.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QPointer>
#include <QRandomGenerator>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>

#include "ui_PagePrompt.h"

namespace {

TarnvikWebPage::FileChooser &fileChooser()
{
    static TarnvikWebPage::FileChooser chooser;
    return chooser;
}

// A random marker per page: a page can print any text to its console, but
// it cannot guess this.
QString newMarker()
{
    QString marker = QStringLiteral("tarnvik-ready-");
    for (int i = 0; i < 4; ++i)
        marker += QString::number(QRandomGenerator::system()->generate(), 16);
    return marker + QLatin1Char(':');
}

QString nameFilterFor(const QStringList &acceptedMimeTypes)
{
    QStringList patterns;
    const QMimeDatabase db;
    for (const QString &type : acceptedMimeTypes) {
        if (type.startsWith(QLatin1Char('.'))) {
            patterns << QLatin1Char('*') + type;
            continue;
        }
        const QMimeType mime = db.mimeTypeForName(type);
        if (mime.isValid())
            patterns << mime.globPatterns();
        else if (type == QLatin1String("image/*"))
            patterns << QStringLiteral("*.jpg") << QStringLiteral("*.jpeg") << QStringLiteral("*.png")
                     << QStringLiteral("*.gif");
    }
    patterns.removeDuplicates();
    QStringList filters;
    if (!patterns.isEmpty())
        filters << QStringLiteral("Passende Dateien (%1)").arg(patterns.join(QLatin1Char(' ')));
    filters << QStringLiteral("Alle Dateien (*)");
    return filters.join(QStringLiteral(";;"));
}

QStringList standardFileChooser(QWidget *parent, bool multiple, const QStringList &acceptedMimeTypes)
{
    QFileDialog dialog(parent, QStringLiteral("Datei auswählen"));
    dialog.setFileMode(multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog.setNameFilter(nameFilterFor(acceptedMimeTypes));
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

// Longer texts than this from a page are shortened in its dialogs.
constexpr qsizetype kMaxDialogText = 2000;

QString boundedText(const QString &text)
{
    return text.size() > kMaxDialogText ? text.left(kMaxDialogText) + QStringLiteral(" …") : text;
}

} // namespace

TarnvikWebPage::TarnvikWebPage(QWebEngineProfile *profile, QObject *parent)
    : QWebEnginePage(profile, parent), m_marker(newMarker())
{
    installReadyMarker();
}

TarnvikWebPage::FileChooser TarnvikWebPage::setFileChooser(FileChooser chooser)
{
    FileChooser previous = std::move(fileChooser());
    fileChooser() = std::move(chooser);
    return previous;
}

QStringList TarnvikWebPage::chooseWithProgramChooser(QWidget *parent, bool multiple, const QStringList &acceptedMimeTypes)
{
    const FileChooser &chooser = fileChooser();
    return chooser ? chooser(parent, multiple, acceptedMimeTypes)
                   : standardFileChooser(parent, multiple, acceptedMimeTypes);
}

void TarnvikWebPage::installReadyMarker()
{
    // Runs in the program's own world once the top document's DOM is
    // parsed: the first moment at which its forms can be counted.
    QWebEngineScript script;
    script.setName(QStringLiteral("tarnvik-ready"));
    script.setInjectionPoint(QWebEngineScript::DocumentReady);
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setRunsOnSubFrames(false);
    script.setSourceCode(QStringLiteral("console.log(%1 + location.href);")
                             .arg(QLatin1Char('"') + m_marker + QLatin1Char('"')));
    scripts().insert(script);
}

void TarnvikWebPage::resetDialogs()
{
    m_dialogsShown = 0;
    m_dialogsSuppressed = false;
}

bool TarnvikWebPage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    if (isMainFrame)
        pendingUrl = url;
    return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}

void TarnvikWebPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message,
                                              int lineNumber, const QString &sourceID)
{
    if (message.startsWith(m_marker)) {
        const QString address = message.mid(m_marker.size());
        // The engine's own error pages are no document of the site.
        if (!address.startsWith(QLatin1String("chrome-error:")))
            Q_EMIT documentReady(address);
        return;
    }
    QWebEnginePage::javaScriptConsoleMessage(level, message, lineNumber, sourceID);
}

bool TarnvikWebPage::showPageDialog(DialogKind kind, const QUrl &origin, const QString &message,
                                    const QString &defaultValue, QString *result)
{
    if (m_dialogsSuppressed)
        return false;
    ++m_dialogsShown;
    QWidget *parent = QWebEngineView::forPage(this);
    const QString host = origin.host().isEmpty() ? origin.toDisplayString() : origin.host();
    const QString title = QStringLiteral("Meldung der Seite %1").arg(host);

    QMessageBox box(parent);
    box.setWindowTitle(title);
    box.setText(boundedText(message));
    box.setTextFormat(Qt::PlainText);
    box.setIcon(kind == DialogKind::Alert ? QMessageBox::Information : QMessageBox::Question);
    box.setStandardButtons(kind == DialogKind::Alert ? QMessageBox::Ok : QMessageBox::Ok | QMessageBox::Cancel);
    // From the second dialog of a page on, the user may stop them all: a
    // page that shows one after the other cannot trap anyone.
    QPointer<QCheckBox> stop;
    if (m_dialogsShown > 1) {
        stop = new QCheckBox(QStringLiteral("Keine weiteren Dialoge von dieser Seite"));
        box.setCheckBox(stop);
    }
    if (kind != DialogKind::Prompt) {
        const int answer = box.exec();
        if (stop && stop->isChecked())
            m_dialogsSuppressed = true;
        return answer == QMessageBox::Ok;
    }

    QDialog prompt(parent);
    Ui::PagePrompt ui;
    ui.setupUi(&prompt);
    prompt.setWindowTitle(title);
    ui.lblMessage->setText(boundedText(message));
    ui.lblMessage->setBuddy(ui.EAnswer);
    ui.EAnswer->setText(defaultValue);
    ui.cbStop->setVisible(m_dialogsShown > 1);
    const bool ok = prompt.exec() == QDialog::Accepted;
    if (ui.cbStop->isVisible() && ui.cbStop->isChecked())
        m_dialogsSuppressed = true;
    if (ok && result)
        *result = ui.EAnswer->text();
    return ok;
}

void TarnvikWebPage::javaScriptAlert(const QUrl &securityOrigin, const QString &msg)
{
    showPageDialog(DialogKind::Alert, securityOrigin, msg, {}, nullptr);
}

bool TarnvikWebPage::javaScriptConfirm(const QUrl &securityOrigin, const QString &msg)
{
    return showPageDialog(DialogKind::Confirm, securityOrigin, msg, {}, nullptr);
}

bool TarnvikWebPage::javaScriptPrompt(const QUrl &securityOrigin, const QString &msg, const QString &defaultValue,
                                      QString *result)
{
    return showPageDialog(DialogKind::Prompt, securityOrigin, msg, defaultValue, result);
}

QStringList TarnvikWebPage::chooseFiles(FileSelectionMode mode, const QStringList &, const QStringList &acceptedMimeTypes)
{
    QWidget *parent = QWebEngineView::forPage(this);
    const bool multiple = mode == QWebEnginePage::FileSelectOpenMultiple;
    const QStringList files = m_pageChooser ? m_pageChooser(parent, multiple, acceptedMimeTypes)
                                            : chooseWithProgramChooser(parent, multiple, acceptedMimeTypes);
    // The page gets absolute paths of existing files only, one unless it
    // asked for several.
    QStringList result;
    for (const QString &file : std::as_const(files)) {
        const QFileInfo info(file);
        if (info.isFile())
            result << info.absoluteFilePath();
    }
    if (!multiple && result.size() > 1)
        result = result.mid(0, 1);
    return result;
}
