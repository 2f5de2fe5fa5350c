#pragma once

// Writes the posting template "Response.html" into a folder for the forum
// host a suite runs its simulator on, with the same script the build uses.
#include <QProcess>
#include <QString>

inline bool writeResponseTemplate(const QString &folder, const QString &forumHost)
{
    QProcess cmake;
    cmake.start(QStringLiteral(TARNVIK_CMAKE_COMMAND),
                {QStringLiteral("-DTEMPLATE=" TARNVIK_SOURCE_DIR "/resources/Response.html.in"),
                 QStringLiteral("-DOUTPUT=") + folder + QStringLiteral("/Response.html"),
                 QStringLiteral("-DFORUM_HOST=") + forumHost,
                 QStringLiteral("-P"), QStringLiteral(TARNVIK_SOURCE_DIR "/cmake/GenerateResponse.cmake")});
    return cmake.waitForFinished(30000) && cmake.exitStatus() == QProcess::NormalExit && cmake.exitCode() == 0;
}
