#pragma once

// A whole-thread page as the browser host serialises the forum's: the title
// line, then per message a rule, its heading, the byline, the text in a
// quote block and the link to the single message. Texts are given as the
// page's markup (escaped already where they should be).

#include <QString>
#include <QStringList>

namespace threadpage {

struct Message {
    qint64 number;
    QString subject;
    QString author;
    QString date; // "3. März 2021 um 12:34:56"
    QStringList lines;
    QString after; // markup after the text (a picture line), may be empty
};

inline QString body(const QString &title, const QList<Message> &messages)
{
    QString out = QStringLiteral("<BODY>\r\n<P align=center><BIG><BIG><STRONG>%1</STRONG></BIG></BIG></P>\r\n"
                                 "<P align=center>%2 Beiträge</P>\r\n")
                      .arg(title)
                      .arg(messages.size());
    for (const Message &m : messages) {
        out += QStringLiteral("<HR>\r\n<P align=center><STRONG><BIG>%1</BIG></STRONG></P>\r\n"
                              "<P align=center><EM>Geschrieben von %2 am %3</EM></P>\r\n"
                              "<BLOCKQUOTE><P><FONT face=Arial>%4</FONT></P></BLOCKQUOTE>\r\n%5"
                              "<P><A href=\"/cgi-bin/forum/webbbs_config.pl/read/%6\">Einzelansicht</A></P>\r\n")
                   .arg(m.subject, m.author, m.date, m.lines.join(QStringLiteral("<BR>\r\n")),
                        m.after.isEmpty() ? QString() : m.after + QStringLiteral("\r\n"))
                   .arg(m.number);
    }
    out += QStringLiteral("<HR>\r\n<P align=center><A href=\"/cgi-bin/forum/webbbs_config.pl\">Zurück zum Index</A></P>\r\n"
                          "</BODY>");
    return out;
}

// The address of whole thread `number` in the hand-tool section.
inline QString address(qint32 number)
{
    return QStringLiteral("http://127.0.0.1:18480/cgi-bin/forum/webbbs_config.pl/read/%1/thread#%1").arg(number);
}

// A thread of `count` messages numbered from `number`, each with a text
// that names its thread and its place.
inline QString numbered(qint32 number, int count)
{
    QList<Message> messages;
    for (int i = 0; i < count; ++i)
        messages.append({number + i, QStringLiteral("Re: Faden %1").arg(number), QStringLiteral("Span%1").arg(i % 7),
                         QStringLiteral("%1. Mai 2020 um 10:%2:00").arg(1 + number % 28).arg(i % 60, 2, 10, QLatin1Char('0')),
                         {QStringLiteral("Faden%1 Beitrag%2 über Hobeleisen").arg(number).arg(i)}, {}});
    return body(QStringLiteral("Faden %1").arg(number), messages);
}

} // namespace threadpage
