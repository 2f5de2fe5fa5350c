#include "archive/ArchivePage.h"

#include "archive/ArchiveText.h"

#include "state/UrlClass.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <functional>

#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

#include <memory>
#include <mutex>

namespace tarnvik::archive {

namespace {

bool is(const xmlNode *node, const char *name)
{
    return node && node->type == XML_ELEMENT_NODE && xmlStrcasecmp(node->name, BAD_CAST name) == 0;
}

const xmlNode *firstElement(const xmlNode *node)
{
    for (const xmlNode *child = node ? node->children : nullptr; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE)
            return child;
    }
    return nullptr;
}

QString attribute(const xmlNode *node, const char *name)
{
    xmlChar *value = xmlGetProp(node, BAD_CAST name);
    if (!value)
        return {};
    QString text = QString::fromUtf8(reinterpret_cast<const char *>(value)).trimmed();
    xmlFree(value);
    return text.left(kMaxAddressChars + 1);
}

bool isBlock(const xmlNode *node)
{
    static const char *const blocks[] = {"p", "div", "center", "ul", "ol", "li", "blockquote", "pre", "table",
                                         "tr", "h1", "h2", "h3", "h4", "h5", "h6", "hr", "dl", "dt", "dd"};
    for (const char *name : blocks) {
        if (is(node, name))
            return true;
    }
    return false;
}

bool isSkipped(const xmlNode *node)
{
    return is(node, "script") || is(node, "style") || is(node, "noscript") || is(node, "iframe")
           || is(node, "object") || is(node, "head") || is(node, "title") || is(node, "template");
}

// Text as a reader sees it: blanks collapsed, a line per <BR> and block.
class TextBuilder
{
public:
    explicit TextBuilder(qsizetype limit) : m_limit(limit) {}

    void text(const char *utf8)
    {
        for (const QChar c : QString::fromUtf8(utf8)) {
            if (full())
                return;
            if (c.isSpace() || c.category() == QChar::Other_Control) {
                m_space = true;
                continue;
            }
            if (m_space && !m_out.isEmpty() && m_out.back() != u'\n')
                m_out += u' ';
            m_space = false;
            m_out += c;
        }
    }
    void lineBreak()
    {
        if (!full())
            m_out += u'\n';
        m_space = false;
    }
    void blockBreak()
    {
        if (!m_out.isEmpty() && m_out.back() != u'\n')
            lineBreak();
        m_space = false;
    }
    void append(const QString &text)
    {
        if (!full())
            m_out += text;
    }
    bool full() const { return m_out.size() >= m_limit; }

    // Lines trimmed, at most one empty line in a row, none at either end.
    QString result() const
    {
        QStringList lines;
        int empty = 0;
        for (QString line : m_out.left(m_limit).split(u'\n')) {
            line = line.trimmed();
            empty = line.isEmpty() ? empty + 1 : 0;
            if (empty < 2)
                lines << line;
        }
        return lines.join(u'\n').trimmed();
    }

private:
    qsizetype m_limit;
    QString m_out;
    bool m_space = false;
};

QString plainText(const xmlNode *node, qsizetype limit)
{
    TextBuilder builder(limit);
    std::function<void(const xmlNode *, int)> walk = [&](const xmlNode *n, int depth) {
        for (const xmlNode *child = n->children; child && !builder.full(); child = child->next) {
            if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) {
                builder.text(reinterpret_cast<const char *>(child->content));
            } else if (is(child, "br")) {
                builder.lineBreak();
            } else if (child->type == XML_ELEMENT_NODE && !isSkipped(child) && depth < 200) {
                const bool block = isBlock(child);
                if (block)
                    builder.blockBreak();
                if (is(child, "li"))
                    builder.append(QStringLiteral("• "));
                walk(child, depth + 1);
                if (block)
                    builder.blockBreak();
            }
        }
    };
    walk(node, 0);
    return builder.result();
}

struct PageReader {
    QUrl base;
    QHash<QString, LocalPicture> localFiles; // by cleaned local path, for exports
    ArchivedThread thread;
    ArchivedMessage *current = nullptr;
    bool textDone = false;

    void visit(const xmlNode *node, int depth)
    {
        for (const xmlNode *child = node->children; child; child = child->next) {
            if (child->type != XML_ELEMENT_NODE || isSkipped(child))
                continue;
            if (!element(child) && depth < 200)
                visit(child, depth + 1);
        }
    }

    // Reads what `node` says of the thread; true when its inside is done with.
    bool element(const xmlNode *node)
    {
        const xmlNode *first = firstElement(node);
        if (is(node, "p") && is(first, "big") && is(firstElement(first), "big")) {
            if (thread.title.isEmpty())
                thread.title = plainText(node, kMaxTitleChars).simplified();
            return true;
        }
        if (is(node, "p") && is(first, "strong") && is(firstElement(first), "big")) {
            if (thread.messages.size() >= kMaxMessages) {
                current = nullptr;
                return true;
            }
            current = &thread.messages.emplace_back();
            current->title = plainText(node, kMaxTitleChars).simplified();
            textDone = false;
            return true;
        }
        if (!current)
            return false;
        if (is(node, "em") && current->author.isEmpty() && !textDone) {
            if (const std::optional<Byline> byline = readByline(plainText(node, 400))) {
                current->author = byline->author;
                current->posted = byline->posted;
                current->key = byline->dateText; // finish() makes the key of it
            }
            return true;
        }
        if (is(node, "blockquote") && !textDone) {
            current->text = plainText(node, kMaxTextChars);
            collectPictures(node);
            textDone = true;
            return true;
        }
        if (is(node, "img") && textDone) {
            addPicture(attribute(node, "src"));
            return true;
        }
        if (is(node, "a") && textDone && current->number == 0) {
            static const QRegularExpression single(QStringLiteral("/read/(\\d{1,15})$"));
            const QRegularExpressionMatch match = single.match(QUrl(attribute(node, "href")).path());
            if (match.hasMatch())
                current->number = match.captured(1).toLongLong();
        }
        return false;
    }

    void collectPictures(const xmlNode *node)
    {
        for (const xmlNode *child = node->children; child; child = child->next) {
            if (is(child, "img"))
                addPicture(attribute(child, "src"));
            else if (child->type == XML_ELEMENT_NODE)
                collectPictures(child);
        }
    }

    void addPicture(const QString &source)
    {
        if (source.isEmpty() || source.size() > kMaxAddressChars
            || current->pictures.size() >= kMaxPicturesPerMessage)
            return;
        const QUrl url = base.resolved(QUrl(source));
        ArchivedPicture picture;
        if (url.isLocalFile()) {
            const auto found = localFiles.constFind(QDir::cleanPath(url.toLocalFile()));
            if (found == localFiles.constEnd())
                return;
            picture.localFile = found->file;
            if (found->address.scheme() == QLatin1String("http") || found->address.scheme() == QLatin1String("https"))
                picture.address = found->address.toString(QUrl::FullyEncoded);
        } else if (url.isValid() && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"))) {
            picture.address = url.toString(QUrl::FullyEncoded);
        }
        if (!picture.address.isEmpty() || !picture.localFile.isEmpty())
            current->pictures.append(picture);
    }

    // Gives every message its key: from its byline and title, made unique
    // in the thread by the order of equal ones.
    void finish()
    {
        QHash<QString, int> seen;
        for (ArchivedMessage &m : thread.messages) {
            const QByteArray identity = (m.author + QChar(0x1f) + m.key + QChar(0x1f) + m.title).toUtf8();
            QString key = QString::fromLatin1(QCryptographicHash::hash(identity, QCryptographicHash::Sha1).toHex().left(20));
            const int n = seen[key]++;
            if (n > 0)
                key += QLatin1Char('-') + QString::number(n);
            m.key = key;
        }
    }
};

void initParser()
{
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
}

std::optional<ArchivedThread> readMarkup(const QUrl &base, const QString &markup, PageReader &reader)
{
    if (markup.size() > kMaxPageChars)
        return std::nullopt;
    initParser();
    const QByteArray utf8 = markup.toUtf8();
    const std::unique_ptr<xmlDoc, void (*)(xmlDoc *)> doc(
        htmlReadMemory(utf8.constData(), int(utf8.size()), nullptr, "UTF-8",
                       HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET),
        xmlFreeDoc);
    const xmlNode *root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
    if (!root)
        return std::nullopt;
    reader.base = base;
    reader.visit(root, 0);
    if (reader.thread.messages.isEmpty())
        return std::nullopt;
    reader.finish();
    if (reader.thread.title.isEmpty())
        reader.thread.title = reader.thread.messages.first().title;
    return std::move(reader.thread);
}

// Puts the thread that `address` names into `reader`; false when it names none.
bool identify(const QString &address, const UrlClass &page, PageReader &reader)
{
    if (page.forum == Forums::None || page.threadNumber <= 0)
        return false;
    reader.thread.section = page.forum;
    reader.thread.number = page.threadNumber;
    reader.thread.address = address.left(kMaxAddressChars);
    return true;
}

} // namespace

std::optional<ArchivedThread> readThreadPage(const QString &address, const QString &body)
{
    PageReader reader;
    const UrlClass page = classifyAddress(lowerAscii(address));
    if (!page.numberAfterHash || !identify(address, page, reader))
        return std::nullopt;
    return readMarkup(QUrl(address), body, reader);
}

std::optional<ArchivedThread> readExportedThread(const QUrl &page, const QStringList &lines,
                                                 const QList<LocalPicture> &pictures)
{
    PageReader reader;
    const QString address = page.toString(QUrl::FullyEncoded);
    if (!identify(address, classifyAddress(lowerAscii(address)), reader))
        return std::nullopt;
    for (const LocalPicture &picture : pictures) {
        if (QFileInfo(picture.file).isFile())
            reader.localFiles.insert(QDir::cleanPath(picture.file), picture);
    }
    reader.thread.exported = true;
    return readMarkup(page, lines.join(QStringLiteral("\r\n")), reader);
}

std::optional<Byline> readByline(const QString &text)
{
    static const QRegularExpression byline(QStringLiteral("^\\s*Geschrieben von (.+) am (.+?)\\s*$"));
    const QRegularExpressionMatch match = byline.match(text.simplified());
    if (!match.hasMatch())
        return std::nullopt;
    Byline result{match.captured(1).trimmed().left(kMaxAuthorChars), match.captured(2).left(100), {}};
    static const QRegularExpression longDate(QStringLiteral(
        "^(\\d{1,2})\\.\\s*(\\S+)\\s+(\\d{4})(?:,?\\s+(?:um\\s+)?(\\d{1,2}):(\\d{2})(?::(\\d{2}))?)?"));
    static const QRegularExpression shortDate(
        QStringLiteral("^(\\d{1,2})\\.(\\d{1,2})\\.(\\d{4})(?:,?\\s+(?:um\\s+)?(\\d{1,2}):(\\d{2})(?::(\\d{2}))?)?"));
    static const QStringList months{QStringLiteral("jan"), QStringLiteral("feb"), QStringLiteral("mar"),
                                    QStringLiteral("apr"), QStringLiteral("mai"), QStringLiteral("jun"),
                                    QStringLiteral("jul"), QStringLiteral("aug"), QStringLiteral("sep"),
                                    QStringLiteral("okt"), QStringLiteral("nov"), QStringLiteral("dez")};
    int month = 0;
    QRegularExpressionMatch date = shortDate.match(result.dateText);
    if (date.hasMatch()) {
        month = date.captured(2).toInt();
    } else if ((date = longDate.match(result.dateText)).hasMatch()) {
        month = int(months.indexOf(fold(date.captured(2)).left(3))) + 1;
    }
    if (month > 0) {
        const QDate day(date.captured(3).toInt(), month, date.captured(1).toInt());
        const QTime time(date.captured(4).toInt(), date.captured(5).toInt(), date.captured(6).toInt());
        if (day.isValid() && time.isValid())
            result.posted = QDateTime(day, time);
    }
    return result;
}

QString sectionName(ForumKind section)
{
    switch (section) {
    case Forums::HandTools: return QStringLiteral("Handwerkzeug-Forum");
    case Forums::Machines: return QStringLiteral("Allgemeines Holzwerker-Forum");
    case Forums::Market: return QStringLiteral("Marktplatz");
    default: return {};
    }
}

QString liveThreadAddress(ForumKind section, qint32 number)
{
    const char *word = nullptr;
    switch (section) {
    case Forums::HandTools: word = "forum"; break;
    case Forums::Machines: word = "holzbearbeitungsmaschinen"; break;
    case Forums::Market: word = "marktplatz"; break;
    default: return {};
    }
    return QStringLiteral("http://%1/cgi-bin/%2/webbbs_config.pl/read/%3/thread#%3")
        .arg(endpoints().forumHost, QLatin1String(word))
        .arg(number);
}

} // namespace tarnvik::archive
