#pragma once

// What the editor's benchmarks share: a data module whose program folder,
// settings file and per-user data lie in a temporary folder, with the
// workshop's word list beside the program as an installed copy has it.
#include "editor/Edit.h"
#include "state/DModul.h"
#include "state/ErrorReport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QPlainTextEdit>
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

// Milliseconds from one key typed at the caret of the shown editor's body
// until the window is painted again.
inline double keystrokeMs(TfrmEdit &editor)
{
    auto *memo = editor.findChild<QPlainTextEdit *>(QStringLiteral("Memo"));
    memo->setFocus();
    QElapsedTimer t;
    t.start();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    QCoreApplication::sendEvent(memo, &press);
    QCoreApplication::processEvents();
    editor.repaint();
    return t.nsecsElapsed() / 1e6;
}
