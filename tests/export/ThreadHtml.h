#pragma once

// The export's work file "Temp.html" as the thread export writes it: pure
// ASCII with numeric character references, CR LF line ends, starting with
// the "<BODY" line; pictures referred to by absolute path or file URL.
// Shared by the office suite and the office benchmark.

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QStringList>

namespace threadhtml {

struct Message {
    QString subject;
    QStringList lines;  // text lines, joined by <BR>
    QStringList images; // SRC values, each on a line of its own after the text
};

inline QString ascii(const QString &text)
{
    QString out;
    for (const char32_t c : text.toUcs4()) {
        if (c < 128)
            out += QChar(char16_t(c));
        else
            out += QStringLiteral("&#%1;").arg(quint32(c));
    }
    return out;
}

// The lines of a whole-thread export: the title line, an indented line of
// its own (the second paragraph), then each message's heading and its text
// in a quote block, followed by two empty lines.
inline QStringList lines(const QString &title, const QList<Message> &messages)
{
    QStringList out;
    out << QStringLiteral("<BODY bgColor=#ffffff>");
    out << QStringLiteral("<P align=center><BIG><BIG><STRONG>%1</STRONG></BIG></BIG></P>").arg(title);
    out << QStringLiteral("<BLOCKQUOTE><P>%1</P></BLOCKQUOTE>").arg(QStringLiteral("Gespeichert aus dem Forum"));
    for (const Message &m : messages) {
        out << QStringLiteral("<P align=center><STRONG><BIG>%1</BIG></STRONG></P>").arg(m.subject);
        QStringList body = m.lines;
        for (const QString &src : m.images)
            body << QStringLiteral("<IMG SRC=\"%1\">").arg(src);
        out << QStringLiteral("<BLOCKQUOTE><P><FONT face=Arial>%1</FONT></P></BLOCKQUOTE>")
                   .arg(body.join(QStringLiteral("<BR>\r\n")));
        out << QString() << QString();
    }
    out << QStringLiteral("</BODY></HTML>");
    return out;
}

inline bool write(const QString &file, const QString &title, const QList<Message> &messages)
{
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    for (const QString &line : lines(title, messages))
        f.write(ascii(line).toLatin1() + "\r\n");
    return f.flush();
}

// A PNG picture of `size` pixels; the office's HTML import sizes pictures at
// 96 pixels per inch whatever density the file names.
inline bool writePicture(const QString &file, QSize size, QColor color)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    QPainter(&image).drawLine(0, 0, size.width() - 1, size.height() - 1);
    QDir().mkpath(QFileInfo(file).absolutePath());
    return image.save(file, "PNG");
}

} // namespace threadhtml
