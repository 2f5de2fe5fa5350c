#include "watch/PageReading.h"

#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>

#include <libxml/HTMLparser.h>
#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <limits>
#include <memory>
#include <mutex>

namespace tarnvik::watch {

namespace {

// Bounds against pages built to exhaust us: how deeply lists may nest, how
// many messages one page may list, how long a text we keep.
constexpr int kMaxListDepth = 200;
constexpr int kMaxMessages = 100000;
constexpr int kMaxDigits = 9;

struct DocFree {
    void operator()(xmlDoc *doc) const { xmlFreeDoc(doc); }
};
using Document = std::unique_ptr<xmlDoc, DocFree>;

Document parse(const QByteArray &html, const QByteArray &encoding)
{
    prepareHtmlReading();
    if (html.isEmpty() || html.size() > std::numeric_limits<int>::max())
        return {};
    const QByteArray chosen = encoding.isEmpty() ? pageEncoding({}, html) : encoding;
    const int options = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET
                        | HTML_PARSE_COMPACT | HTML_PARSE_IGNORE_ENC;
    return Document(htmlReadMemory(html.constData(), int(html.size()), nullptr, chosen.constData(), options));
}

bool isElement(const xmlNode *node, const char *name)
{
    return node && node->type == XML_ELEMENT_NODE
           && xmlStrcasecmp(node->name, reinterpret_cast<const xmlChar *>(name)) == 0;
}

bool isList(const xmlNode *node)
{
    return isElement(node, "ul") || isElement(node, "ol");
}

QString fromXml(const xmlChar *text)
{
    return text ? QString::fromUtf8(reinterpret_cast<const char *>(text)) : QString();
}

QString attribute(const xmlNode *node, const char *name)
{
    for (const xmlAttr *a = node->properties; a; a = a->next) {
        if (xmlStrcasecmp(a->name, reinterpret_cast<const xmlChar *>(name)) != 0)
            continue;
        xmlChar *value = xmlNodeListGetString(node->doc, a->children, 1);
        const QString result = fromXml(value);
        xmlFree(value);
        return result;
    }
    return {};
}

QString content(const xmlNode *node)
{
    xmlChar *text = xmlNodeGetContent(node);
    const QString result = fromXml(text);
    xmlFree(text);
    return result;
}

QString tidy(const QString &text)
{
    return text.simplified().left(kMaxTextLength);
}

// The next node of a walk through `top`'s subtree in document order; with
// `skipChildren` the walk passes over `node`'s subtree.
const xmlNode *nextInWalk(const xmlNode *node, const xmlNode *top, bool skipChildren = false)
{
    if (!skipChildren && node->children)
        return node->children;
    while (node && node != top) {
        if (node->next)
            return node->next;
        node = node->parent;
    }
    return nullptr;
}

// The message a link points to, when it is a single message's page.
qint32 singleMessage(const xmlNode *node)
{
    if (!isElement(node, "a"))
        return 0;
    const MessageLink link = messageLink(attribute(node, "href"));
    return link.wholeThread ? 0 : link.number;
}

// "Author, 18.11.2023, 19:42" after a dash: the author and the time.
void splitAuthorAndTime(QString text, PageMessage &message)
{
    static const QRegularExpression dateAtEnd(QStringLiteral(
        "^(.*?)[,\\s]\\s*(\\d{1,2}\\.\\d{1,2}\\.\\d{2,4}(?:,?\\s*\\d{1,2}:\\d{2}(?::\\d{2})?)?)\\s*$"));
    text = text.simplified();
    while (!text.isEmpty() && (text.front() == u'-' || text.front() == u'\u2013' || text.front() == u'\u2014'
                               || text.front() == u':' || text.front().isSpace()))
        text.remove(0, 1);
    const QRegularExpressionMatch match = dateAtEnd.match(text);
    if (match.hasMatch()) {
        message.author = tidy(match.captured(1));
        message.time = match.captured(2);
    } else {
        message.author = tidy(text);
    }
}

class ListReader
{
public:
    explicit ListReader(ListedThreads &out) : m_out(out) {}

    void readDocument(const xmlNode *top)
    {
        for (const xmlNode *node = top; node;) {
            if (isList(node)) {
                readList(node, 0, 0);
                node = nextInWalk(node, top, true);
                continue;
            }
            notePageLink(node);
            node = nextInWalk(node, top);
        }
    }

private:
    void notePageLink(const xmlNode *node)
    {
        if (!isElement(node, "a"))
            return;
        static const QRegularExpression page(QStringLiteral("/page/(\\d{1,6})(?:[/?#]|$)"),
                                             QRegularExpression::CaseInsensitiveOption);
        const QRegularExpressionMatch match = page.match(attribute(node, "href"));
        if (match.hasMatch())
            m_out.lastPage = qMax(m_out.lastPage, match.captured(1).toInt());
    }

    void readList(const xmlNode *list, qint32 parent, int depth)
    {
        if (depth > kMaxListDepth)
            return;
        for (const xmlNode *child = list->children; child; child = child->next) {
            if (isElement(child, "li"))
                readItem(child, parent, depth);
            else if (isList(child))
                readList(child, parent, depth + 1);
        }
    }

    // An item's own message is its first link to a single message outside
    // the lists nested in it; the text after that link names author and
    // time. The nested lists hold the answers.
    void readItem(const xmlNode *item, qint32 parent, int depth)
    {
        const xmlNode *link = nullptr;
        QString after;
        QList<const xmlNode *> nested;
        for (const xmlNode *node = item->children; node;) {
            if (isList(node)) {
                nested << node;
                node = nextInWalk(node, item, true);
                continue;
            }
            if (!link && singleMessage(node)) {
                link = node;
                node = nextInWalk(node, item, true);
                continue;
            }
            notePageLink(node);
            if (link && node->type == XML_TEXT_NODE && after.size() < kMaxTextLength)
                after += fromXml(node->content);
            node = nextInWalk(node, item);
        }
        qint32 own = parent;
        if (link && add(link, parent, after))
            own = singleMessage(link);
        for (const xmlNode *list : std::as_const(nested))
            readList(list, own, depth + 1);
    }

    bool add(const xmlNode *link, qint32 parent, const QString &after)
    {
        PageMessage message;
        message.number = singleMessage(link);
        message.parent = parent;
        message.subject = tidy(content(link));
        splitAuthorAndTime(after, message);
        if (m_seen.contains(message.number) || m_seen.size() >= kMaxMessages)
            return false;
        if (parent == 0)
            m_out.threads.append(PageThread{message.number, {}});
        else if (m_out.threads.isEmpty())
            return false;
        m_seen.insert(message.number);
        m_out.threads.last().messages.append(message);
        return true;
    }

    ListedThreads &m_out;
    QSet<qint32> m_seen;
};

} // namespace

bool PageThread::contains(qint32 number) const
{
    return std::any_of(messages.cbegin(), messages.cend(),
                       [number](const PageMessage &m) { return m.number == number; });
}

void prepareHtmlReading()
{
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
}

MessageLink messageLink(QStringView address)
{
    const QLatin1StringView read("/read/");
    const qsizetype at = address.lastIndexOf(read, -1, Qt::CaseInsensitive);
    if (at < 0)
        return {};
    qsizetype end = at + read.size();
    while (end < address.size() && address[end].isDigit() && address[end].unicode() < 128)
        ++end;
    const qsizetype digits = end - at - read.size();
    if (digits == 0 || digits > kMaxDigits)
        return {};
    const QStringView rest = address.mid(end);
    MessageLink link;
    if (rest.isEmpty() || rest.startsWith(u'#') || rest.startsWith(u'?')) {
        link.wholeThread = false;
    } else if (rest.startsWith(QLatin1StringView("/thread"), Qt::CaseInsensitive)
               && (rest.size() == 7 || rest[7] == u'#' || rest[7] == u'?' || rest[7] == u'/')) {
        link.wholeThread = true;
    } else {
        return {};
    }
    link.number = address.mid(at + read.size(), digits).toInt();
    return link.number > 0 ? link : MessageLink{};
}

QByteArray pageEncoding(const QByteArray &contentType, const QByteArray &html)
{
    static const QRegularExpression charset(QStringLiteral("charset\\s*=\\s*\"?([A-Za-z0-9_.:-]{1,40})"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = charset.match(QString::fromLatin1(contentType.left(200)));
    if (match.hasMatch()) {
        const QByteArray name = match.captured(1).toLatin1().toLower();
        if (name == "utf-8" || name == "utf8")
            return QByteArrayLiteral("UTF-8");
        static const QSet<QByteArray> western = {"iso-8859-1", "iso8859-1", "latin1", "l1", "us-ascii",
                                                 "ascii", "windows-1252", "cp1252", "x-cp1252"};
        if (western.contains(name))
            return QByteArrayLiteral("windows-1252");
        if (xmlCharEncodingHandler *handler = xmlFindCharEncodingHandler(name.constData())) {
            xmlCharEncCloseFunc(handler);
            return name;
        }
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8(html);
    return utf8.hasError() ? QByteArrayLiteral("windows-1252") : QByteArrayLiteral("UTF-8");
}

ListedThreads readThreadLists(const QByteArray &html, const QByteArray &encoding)
{
    ListedThreads out;
    const Document doc = parse(html, encoding);
    if (const xmlNode *root = doc ? xmlDocGetRootElement(doc.get()) : nullptr)
        ListReader(out).readDocument(root);
    return out;
}

QList<PageMessage> readWholeThread(const QByteArray &html, const QByteArray &encoding)
{
    QList<PageMessage> out;
    const Document doc = parse(html, encoding);
    const xmlNode *top = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
    QSet<qint32> seen;
    QString author;
    QString time;
    const QLatin1StringView writtenBy("Geschrieben von");
    const QLatin1StringView on(" am ");
    for (const xmlNode *node = top; node && out.size() < kMaxMessages;) {
        if (isElement(node, "blockquote")) {
            node = nextInWalk(node, top, true);
            continue;
        }
        if (node->type == XML_TEXT_NODE && node->parent
            && fromXml(node->content).trimmed().startsWith(writtenBy)) {
            const QString line = content(node->parent).simplified().mid(writtenBy.size());
            const qsizetype at = line.lastIndexOf(on);
            author = tidy(line.left(at >= 0 ? at : line.size()));
            time = at >= 0 ? tidy(line.mid(at + on.size())) : QString();
        }
        if (const qint32 number = singleMessage(node); number > 0 && !seen.contains(number)) {
            seen.insert(number);
            out.append(PageMessage{number, 0, {}, std::exchange(author, {}), std::exchange(time, {})});
        }
        node = nextInWalk(node, top);
    }
    return out;
}

} // namespace tarnvik::watch
