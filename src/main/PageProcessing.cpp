#include "main/PageProcessing.h"

#include <QStringView>

namespace tarnvik {

namespace {
const QLatin1String kTitleMarker("<P align=center><BIG><BIG><STRONG>");
const QLatin1String kTitleEnd("</STRONG>");
} // namespace

PageActions pageActionsFor(ForumKind forum, qint32 threadNumber, bool numberAfterHash)
{
    PageActions actions;
    if (forum == Forums::None)
        return actions;
    actions.newThread = true;
    actions.answer = threadNumber > 0 && !numberAfterHash;
    actions.exportWord = threadNumber > 0;
    actions.wholeThread = threadNumber > 0 && numberAfterHash;
    return actions;
}

std::optional<QString> threadTitleFromBody(const QString &bodyHtml)
{
    static_assert(sizeof("<P align=center><BIG><BIG><STRONG>") - 1 == 34);
    const QStringView text(bodyHtml);
    qsizetype lineStart = 0;
    bool firstLine = true;
    while (lineStart <= text.size()) {
        qsizetype lineEnd = text.indexOf(QLatin1Char('\n'), lineStart);
        if (lineEnd < 0)
            lineEnd = text.size();
        QStringView line = text.mid(lineStart, lineEnd - lineStart);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (!firstLine && line.contains(kTitleMarker)) {
            const qsizetype end = line.indexOf(kTitleEnd);
            // The title runs from the first character after a marker that
            // opens the line up to the closing tag.
            if (end <= kTitleMarker.size())
                return QString();
            return line.mid(kTitleMarker.size(), end - kTitleMarker.size()).toString();
        }
        firstLine = false;
        lineStart = lineEnd + 1;
    }
    return std::nullopt;
}

QString threadTitleMarker()
{
    return kTitleMarker;
}

QString sectionPageAddress(const QString &sectionAddress, QString &pageText)
{
    bool ok = false;
    const qlonglong page = pageText.toLongLong(&ok);
    if (!ok) {
        pageText = QStringLiteral("1");
        return sectionAddress;
    }
    if (page > 1)
        return sectionAddress + QStringLiteral("/page/") + pageText;
    return sectionAddress;
}

} // namespace tarnvik
