#include "editor/BodyText.h"

#include <QTextDocument>

namespace tarnvik::body {

QString toCrLf(const QString &lfText)
{
    QString result;
    result.reserve(lfText.size() + lfText.count(QLatin1Char('\n')));
    for (const QChar c : lfText) {
        if (c == QLatin1Char('\n'))
            result += QLatin1Char('\r');
        result += c;
    }
    return result;
}

QString toLf(const QString &text)
{
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r')) {
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            result += QLatin1Char('\n');
        } else if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator) {
            result += QLatin1Char('\n');
        } else {
            result += c;
        }
    }
    return result;
}

QString documentText(const QTextDocument &document)
{
    QString text = document.toRawText();
    for (QChar &c : text) {
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator)
            c = QLatin1Char('\n');
    }
    return text;
}

qsizetype crLfPosition(const QString &lfText, qsizetype lfPosition)
{
    const qsizetype end = qBound(qsizetype(0), lfPosition, lfText.size());
    qsizetype breaks = 0;
    for (qsizetype i = 0; i < end; ++i) {
        if (lfText.at(i) == QLatin1Char('\n'))
            ++breaks;
    }
    return end + breaks;
}

qsizetype lfPosition(const QString &lfText, qsizetype crLfPosition)
{
    qsizetype counted = 0; // characters of the CR LF text passed so far
    for (qsizetype i = 0; i < lfText.size(); ++i) {
        const qsizetype width = lfText.at(i) == QLatin1Char('\n') ? 2 : 1;
        if (counted + width > crLfPosition)
            return i;
        counted += width;
    }
    return lfText.size();
}

} // namespace tarnvik::body
