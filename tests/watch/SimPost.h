#pragma once

// Checks against the forum simulator, and publishing an answer there as its
// posting form does.
#include "common/ForumSim.h"
#include "forumsim/SimHttp.h"
#include "watch/WatchEngine.h"

#include <QRegularExpression>
#include <QTemporaryDir>

// Checks of the simulator's forum only when asked for, the store in `dir`.
inline tarnvik::watch::WatchEngine::Options simulatorChecks(const ForumSim &sim, const QTemporaryDir &dir)
{
    tarnvik::watch::WatchEngine::Options options;
    options.databasePath = dir.filePath(QStringLiteral("Tarnvik.sqlite"));
    options.forumHost = sim.host();
    options.scheduled = false;
    return options;
}

// The new message's number; 0 when the simulator refused it.
inline int postAnswer(QNetworkAccessManager &nam, ForumSim &sim, const QString &section, int followup,
                      const QByteArray &name, const QByteArray &subject = "Re: Antwort")
{
    const QByteArray body = urlEncoded({{"followup", QByteArray::number(followup)}, {"name", name},
                                        {"site", "holzwerkerforum"}, {"email", ""}, {"subject", subject},
                                        {"body", "Danke, das hilft."}, {"url", ""}, {"url_title", ""},
                                        {"image_url", ""}, {"password", ""}, {"action", "post"}});
    const Page page = exchange(nam, sim.url(QStringLiteral("/cgi-bin/%1/webbbs_config.pl").arg(section)), "POST", body);
    static const QRegularExpression location(QStringLiteral("/read/(\\d+)$"));
    const QRegularExpressionMatch match = location.match(QString::fromUtf8(page.location));
    return page.status == 303 && match.hasMatch() ? match.captured(1).toInt() : 0;
}
