#include "archive/ArchiveView.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLocale>

namespace tarnvik::archive {

namespace {

// The template: @TITLE@, @BAR@ and @MESSAGES@ are filled in.
const char kPage[] = R"(<!DOCTYPE html>
<html lang="de">
<head>
<meta charset="utf-8">
<meta http-equiv="Content-Security-Policy" content="default-src 'none'; img-src file: http: https:; style-src 'unsafe-inline'">
<title>@TITLE@</title>
<style>
body { font-family: Arial, sans-serif; margin: 1em 2em; color: #202020; background: #ffffff; }
.leiste { background: #f0ede4; border: 1px solid #d8d2c0; padding: .4em .8em; }
.leiste a { font-weight: bold; }
h1 { text-align: center; font-size: 1.5em; }
h2 { text-align: center; font-size: 1.15em; margin-bottom: .2em; }
.von { text-align: center; font-style: italic; margin-top: 0; }
.text { margin: 0 2em; line-height: 1.4; white-space: normal; }
.beitrag:target { background: #fbf7e6; }
mark { background: #ffe066; color: inherit; }
img { max-width: 100%; }
</style>
</head>
<body>
@BAR@
<h1>@TITLE@</h1>
@MESSAGES@
</body>
</html>
)";

QString pictureSource(const ArchivedPicture &picture, const QString &picturesFolder)
{
    if (!picture.localFile.isEmpty() && !picturesFolder.isEmpty()) {
        const QFileInfo file(picture.localFile);
        const QString folder = QDir::cleanPath(QFileInfo(picturesFolder).absoluteFilePath());
        if (file.isAbsolute() && QDir::cleanPath(file.absolutePath()) == folder && file.isFile())
            return QUrl::fromLocalFile(file.absoluteFilePath()).toString(QUrl::FullyEncoded);
    }
    const QUrl address(picture.address, QUrl::StrictMode);
    if (address.isValid() && (address.scheme() == QLatin1String("http") || address.scheme() == QLatin1String("https")))
        return address.toString(QUrl::FullyEncoded);
    return {};
}

// The template with its marks filled in one pass, so that nothing filled in
// is ever taken for a mark.
QString fillTemplate(const QHash<QString, QString> &values)
{
    const QString page = QString::fromUtf8(kPage);
    QString out;
    qsizetype at = 0;
    while (true) {
        const qsizetype open = page.indexOf(QLatin1Char('@'), at);
        const qsizetype close = open < 0 ? -1 : page.indexOf(QLatin1Char('@'), open + 1);
        if (close < 0) {
            out += QStringView(page).mid(at);
            return out;
        }
        out += QStringView(page).mid(at, open - at);
        out += values.value(page.mid(open + 1, close - open - 1));
        at = close + 1;
    }
}

QString dateText(const QDateTime &posted)
{
    return posted.isValid() ? QLocale(QLocale::German).toString(posted, QStringLiteral("d. MMMM yyyy 'um' HH:mm"))
                            : QString();
}

} // namespace

QString escapeHtml(QStringView text)
{
    return markedHtml(text, {}, {}, {});
}

QString messageAnchor(qint64 messageId)
{
    return QStringLiteral("b%1").arg(messageId);
}

QString offlineViewHtml(const StoredThread &thread, const ViewOptions &options)
{
    QString bar = QStringLiteral("<p class=\"leiste\">");
    const QString live = liveThreadAddress(thread.section, thread.number);
    if (!live.isEmpty())
        bar += QStringLiteral("<a href=\"%1\">Im Forum öffnen</a> · ").arg(escapeHtml(live));
    bar += escapeHtml(sectionName(thread.section));
    bar += QStringLiteral(" · Archivkopie, %1 %2</p>")
               .arg(thread.messages.size())
               .arg(thread.messages.size() == 1 ? QStringLiteral("Beitrag") : QStringLiteral("Beiträge"));

    QString messages;
    for (const StoredMessage &m : thread.messages) {
        messages += QStringLiteral("<hr>\n<div class=\"beitrag\" id=\"%1\">\n<h2>%2</h2>\n")
                        .arg(messageAnchor(m.id), escapeHtml(m.title));
        QString byline = QStringLiteral("Geschrieben von ") + m.author;
        if (m.posted.isValid())
            byline += QStringLiteral(" am ") + dateText(m.posted);
        messages += QStringLiteral("<p class=\"von\">%1</p>\n").arg(escapeHtml(byline));
        QString text = markedHtml(m.text, findHits(m.text, options.terms, options.insideWords),
                                  QStringLiteral("<mark>"), QStringLiteral("</mark>"));
        text.replace(QLatin1Char('\n'), QStringLiteral("<br>\n"));
        messages += QStringLiteral("<div class=\"text\">%1</div>\n").arg(text);
        for (const ArchivedPicture &picture : m.pictures) {
            const QString source = pictureSource(picture, options.picturesFolder);
            if (!source.isEmpty())
                messages += QStringLiteral("<p><img src=\"%1\" alt=\"Bild\"></p>\n").arg(escapeHtml(source));
        }
        messages += QStringLiteral("</div>\n");
    }

    return fillTemplate({{QStringLiteral("TITLE"), escapeHtml(thread.title)},
                         {QStringLiteral("BAR"), bar},
                         {QStringLiteral("MESSAGES"), messages}});
}

} // namespace tarnvik::archive
