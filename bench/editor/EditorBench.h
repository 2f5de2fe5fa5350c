#pragma once

// What the editor's benchmarks share: a data module whose program folder,
// settings file and per-user data lie in a temporary folder, with the
// workshop's word list beside the program as an installed copy has it.
#include "state/DModul.h"
#include "state/ErrorReport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

struct EditorBenchFolder {
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("prog/"));
    std::unique_ptr<TDM> dm;

    EditorBenchFolder()
    {
        QDir().mkpath(program);
        QFile::copy(QStringLiteral(TARNVIK_SOURCE_DIR "/resources/spelling/Werkstattwoerter.txt"),
                    program + QStringLiteral("Werkstattwoerter.txt"));
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("daten"))));
        dm = std::make_unique<TDM>(TDMEnvironment::inFolder(dir.filePath(QStringLiteral("Tarnvik.conf")), program,
                                                            dir.path()));
        DM = dm.get();
    }
    ~EditorBenchFolder() { DM = nullptr; }
};
