#pragma once

// A fresh settings file for a suite: a user name is set, so that the settings
// dialog does not open over the main window, and the stored section given.
#include <QFile>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>

inline QString freshSettingsFile(const QTemporaryDir &dir, int storedForum,
                                 const QString &name = QStringLiteral("Holzwurm"))
{
    const QString file = dir.filePath(QStringLiteral("Tarnvik.conf"));
    QFile::remove(file);
    QSettings s(file, QSettings::IniFormat);
    s.setValue(QStringLiteral("Name"), name);
    s.setValue(QStringLiteral("Forum"), storedForum);
    return file;
}
