#pragma once

#include "browser/FormStep.h"
#include "state/Endpoints.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

// The work of the preview window that needs no window: the posting template
// with the section word put in, the steps that fill the forum's posting form,
// and finding the forum's own publish button on its preview page.
namespace tarnvik::postform {

// "forum", "holzbearbeitungsmaschinen", "marktplatz"; empty for no section.
QString sectionWord(ForumKind forum);

// The section word goes after the first 94 characters of line 7 (the place
// the template keeps for it), or at the line's end when it is shorter.
// False with the error text when the template has fewer than seven lines.
bool insertSectionWord(QStringList &lines, ForumKind forum, QString &error);

// Reads the template's lines (CR LF, CR or LF end a line). False with the
// error text for the standard error report.
bool readTemplate(const QString &fileName, QStringList &lines, QString &error);

// Writes the work page, each line ended by CR LF, replacing an older file.
bool writeWorkPage(const QString &fileName, const QStringList &lines, QString &error);

// What goes into the posting form, and where.
struct Post {
    qint32 threadNumber = 0;
    QString name;
    QString siteWord;
    QString email;
    QString subject;
    QString body;
    QString password;
};

// The nine steps, in order: thread number, name, site word, e-mail, subject,
// body and password into elements 0-5 and 9, element 12 ticked, element 13
// clicked.
QList<FormStep> fillSteps(const Post &post);

// The forum's publish button on its preview page: the first of elements 12,
// 13 and 14 of the first form named exactly "Post". -1 when none is; -2 with
// `error` set when the form ends before an element that had to be looked at.
int publishButton(const QList<FormElementInfo> &elements, QString *error = nullptr);

// The section's posting script on the forum host,
// "http://<forum host>/cgi-bin/<word>/webbbs_config.pl": the page that the
// work page posts to, which answers with the forum's preview page.
QUrl scriptAddress(ForumKind forum);

// Whether `answer`, the first page the forum shows after its publish button
// was clicked, confirms the post: the new message's own page, the script's
// "/read/<number>" on the forum host. An error page, which keeps the
// script's address, or a page of another host confirms nothing.
bool confirmsPublishing(const QUrl &answer, ForumKind forum);

} // namespace tarnvik::postform
