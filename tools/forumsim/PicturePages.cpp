#include "PicturePages.h"

#include "Text.h"

namespace forumsim {

namespace {

constexpr std::string_view kPictureFilePrefix = "/Bilder/B";
constexpr std::string_view kPictureFileSuffix = ".jpg";
constexpr std::string_view kSiteName = "Holzwerker-Bildarchiv";

void appendNavigation(std::string &out)
{
    out += "<P align=center>";
    appendLink(out, std::string(kUploadPath), "Bild hochladen");
    out += " | ";
    appendLink(out, std::string(kNewestPath), "Neuzugänge");
    out += " | ";
    appendLink(out, "/", "Startseite");
    out += "</P>\n";
}

std::string sizeText(const PictureInfo &p)
{
    return std::to_string(p.width) + " \u00D7 " + std::to_string(p.height) + " Pixel";
}

std::string insertLine(const PictureInfo &p, std::string_view pictureHost)
{
    return "[center]&lt;img src='http://" + std::string(pictureHost) + pictureFilePath(p.number)
           + "' border='3'&gt;[/center]";
}

void appendPictureHead(std::string &out, const PictureInfo &p, std::string_view pictureHost)
{
    out += "<H1 align=center>Bild ";
    out += std::to_string(p.number);
    out += "</H1>\n<P align=center><IMG SRC=\"";
    out += pictureFilePath(p.number);
    out += "\" ALT=\"Bild ";
    out += std::to_string(p.number);
    out += "\" STYLE=\"max-width:100%;height:auto\"></P>\n<P align=center><STRONG>";
    out += htmlEscape(p.title);
    out += "</STRONG><BR>\nBildnummer: ";
    out += std::to_string(p.number);
    out += "<BR>\n";
    out += sizeText(p);
    out += ", eingestellt von ";
    out += htmlEscape(p.owner);
    out += " am ";
    out += formatShortDate(p.time);
    out += "</P>\n<P align=center>Zum Einfügen in einen Beitrag:<BR>\n<CODE>";
    out += htmlEscape(insertLine(p, pictureHost));
    out += "</CODE></P>\n";
}

} // namespace

std::string picturePagePath(int number)
{
    return std::string(kPicturePagePath) + "?id=" + std::to_string(number);
}

std::string pictureFilePath(int number)
{
    return std::string(kPictureFilePrefix) + std::to_string(number) + std::string(kPictureFileSuffix);
}

std::optional<int> pictureFileNumber(std::string_view path)
{
    if (!path.starts_with(kPictureFilePrefix) || !path.ends_with(kPictureFileSuffix)
        || path.size() <= kPictureFilePrefix.size() + kPictureFileSuffix.size())
        return std::nullopt;
    path.remove_prefix(kPictureFilePrefix.size());
    path.remove_suffix(kPictureFileSuffix.size());
    const auto number = parseDecimal(path);
    return number && *number > 0 ? *number : 0;
}

std::string renderPictureStart()
{
    std::string out = pageStart(kSiteName);
    out += "<H1 align=center>";
    out += kSiteName;
    out += "</H1>\n<P align=center>Bilder für das Holzwerker-Forum.</P>\n";
    appendNavigation(out);
    out += kPageEnd;
    return out;
}

std::string renderUploadForm()
{
    std::string out = pageStart("Bild hochladen");
    out += "<H1 align=center>Bild hochladen</H1>\n"
           "<FORM METHOD=POST ACTION=\"";
    out += kUploadPath;
    out += "\" ENCTYPE=\"multipart/form-data\" ACCEPT-CHARSET=\"UTF-8\">\n"
           "<TABLE align=center>\n"
           "<TR><TD>Bildtitel:</TD><TD><INPUT TYPE=text NAME=\"titel\" SIZE=50 MAXLENGTH=100></TD></TR>\n"
           "<TR><TD>Name:</TD><TD><INPUT TYPE=text NAME=\"name\" SIZE=30 MAXLENGTH=60></TD></TR>\n"
           "<TR><TD>Passwort:</TD><TD><INPUT TYPE=password NAME=\"passwort\" SIZE=20></TD></TR>\n"
           "<TR><TD>Bilddatei:</TD><TD><INPUT TYPE=file NAME=\"datei\" ACCEPT=\"image/jpeg,image/png\"> "
           "(JPEG oder PNG, höchstens 10 MB)</TD></TR>\n"
           "<TR><TD></TD><TD><INPUT TYPE=submit VALUE=\"Hochladen\"></TD></TR>\n"
           "</TABLE>\n</FORM>\n";
    appendNavigation(out);
    out += kPageEnd;
    return out;
}

std::string renderNewestPictures(const std::vector<PictureInfo> &pictures)
{
    std::string out = pageStart("Neuzugänge");
    out += "<H1 align=center>Neuzugänge</H1>\n";
    appendNavigation(out);
    out += "<TABLE align=center CELLPADDING=6>\n";
    for (const PictureInfo &p : pictures) {
        out += "<TR><TD><A HREF=\"";
        out += picturePagePath(p.number);
        out += "\"><IMG SRC=\"";
        out += pictureFilePath(p.number);
        out += "\" WIDTH=120 BORDER=0 ALT=\"Bild ";
        out += std::to_string(p.number);
        out += "\"></A></TD><TD>";
        appendLink(out, picturePagePath(p.number), "Bild " + std::to_string(p.number));
        out += "<BR>\n";
        out += htmlEscape(p.title);
        out += "<BR>\n<SMALL>";
        out += htmlEscape(p.owner);
        out += ", ";
        out += formatShortDate(p.time);
        out += "</SMALL></TD></TR>\n";
    }
    out += "</TABLE>\n";
    out += kPageEnd;
    return out;
}

std::string renderPicturePage(const PictureInfo &picture, std::string_view pictureHost)
{
    std::string out = pageStart("Bild " + std::to_string(picture.number));
    out += "<FORM METHOD=POST ACTION=\"";
    out += picturePagePath(picture.number);
    out += "\" ACCEPT-CHARSET=\"UTF-8\">\n"
           "<P align=right>Passwort: <INPUT TYPE=password NAME=\"passwort\" SIZE=16> "
           "<INPUT TYPE=submit VALUE=\"Anmelden\"></P>\n"
           "</FORM>\n";
    appendPictureHead(out, picture, pictureHost);
    appendNavigation(out);
    out += kPageEnd;
    return out;
}

std::string renderOwnerView(const PictureInfo &picture, std::string_view pictureHost, LoginOutcome outcome)
{
    std::string out = pageStart("Bild " + std::to_string(picture.number));
    out += "<P align=right>Angemeldet: ";
    out += htmlEscape(picture.owner);
    if (outcome == LoginOutcome::Guest)
        out += " (Gast)";
    out += "</P>\n";
    appendPictureHead(out, picture, pictureHost);
    out += "<P align=center>Dieses Bild gehört Ihnen. Sie können es mit der Zeile oben in Ihre Beiträge "
           "einfügen.</P>\n";
    appendNavigation(out);
    out += kPageEnd;
    return out;
}

Reply pictureErrorReply(int status, std::string_view heading, std::string_view message)
{
    std::string out = pageStart(heading);
    out += "<H1 align=center>";
    out += htmlEscape(heading);
    out += "</H1>\n<P align=center>";
    out += htmlEscape(message);
    out += "</P>\n<P align=center><A HREF=\"javascript:history.back()\">Zur vorigen Seite</A></P>\n";
    appendNavigation(out);
    out += kPageEnd;
    return htmlReply(status, std::move(out));
}

} // namespace forumsim
