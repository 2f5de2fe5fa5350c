#include "automation/PostForm.h"

#include "automation/PageAddress.h"

#include "state/FileAccess.h"
#include "state/TextFile.h"

namespace tarnvik::postform {

namespace {
constexpr qsizetype kWordPosition = 94;  // characters before the section word
constexpr int kWordLine = 6;              // line 7, counted from 0
// A template is a small page; anything much larger is not one.
constexpr qint64 kMaxTemplateSize = 1024 * 1024;
} // namespace

QString sectionWord(ForumKind forum)
{
    switch (forum) {
    case Forums::HandTools: return QStringLiteral("forum");
    case Forums::Machines: return QStringLiteral("holzbearbeitungsmaschinen");
    case Forums::Market: return QStringLiteral("marktplatz");
    default: return {};
    }
}

bool insertSectionWord(QStringList &lines, ForumKind forum, QString &error)
{
    if (lines.size() <= kWordLine) {
        error = QStringLiteral("Listenindex überschreitet das Maximum (%1)").arg(kWordLine);
        return false;
    }
    const QString word = sectionWord(forum);
    if (!word.isEmpty()) {
        QString &line = lines[kWordLine];
        line.insert(qMin(kWordPosition, line.size()), word);
    }
    return true;
}

bool readTemplate(const QString &fileName, QStringList &lines, QString &error)
{
    QByteArray bytes;
    if (!files::readBounded(fileName, kMaxTemplateSize, QStringLiteral("Sie ist größer als 1 MiB"), bytes, error))
        return false;
    lines = splitLines(decodeText(bytes));
    return true;
}

bool writeWorkPage(const QString &fileName, const QStringList &lines, QString &error)
{
    return files::writeAtomically(fileName, joinLines(lines, QStringLiteral("\r\n")).toUtf8(), error);
}

QList<FormStep> fillSteps(const Post &post)
{
    return {
        FormStep::setValue(0, QString::number(post.threadNumber)),
        FormStep::setValue(1, post.name),
        FormStep::setValue(2, post.siteWord),
        FormStep::setValue(3, post.email),
        FormStep::setValue(4, post.subject),
        FormStep::setValue(5, post.body),
        FormStep::setValue(9, post.password),
        FormStep::setChecked(12),
        FormStep::click(13),
    };
}

int publishButton(const QList<FormElementInfo> &elements, QString *error)
{
    for (int index = 12; index <= 14; ++index) {
        if (index >= elements.size()) {
            if (error)
                *error = QStringLiteral("Das Formular hat kein Element %1").arg(index);
            return -2;
        }
        if (elements.at(index).name == QLatin1String("Post"))
            return index;
    }
    return -1;
}

QUrl scriptAddress(ForumKind forum)
{
    return pageaddress::onServer(endpoints().forumHost,
                                 QStringLiteral("/cgi-bin/%1/webbbs_config.pl").arg(sectionWord(forum)));
}

bool confirmsPublishing(const QUrl &answer, ForumKind forum)
{
    const QUrl script = scriptAddress(forum);
    const QString prefix = script.path() + QStringLiteral("/read/");
    const QString path = answer.path();
    if (sectionWord(forum).isEmpty() || !path.startsWith(prefix)
        || !pageaddress::isNumber(QStringView(path).mid(prefix.size())))
        return false;
    QUrl page = script;
    page.setPath(path);
    return pageaddress::isPage(answer, page);
}

} // namespace tarnvik::postform
