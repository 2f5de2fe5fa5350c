// The editor's text files: "Öffnen" and "Speichern".
#include "editor/Edit.h"

#include "editor/PostFile.h"
#include "state/ErrorReport.h"
#include "state/TextFile.h"

#include <QFileDialog>
#include <QFileInfo>

using namespace tarnvik;

namespace {

const QString kTextFilter = QStringLiteral("Textdatei [*.txt] (*.txt)");

QString standardFileChooser(QWidget *parent, TfrmEdit::FileDialogKind kind)
{
    QFileDialog dialog(parent);
    dialog.setNameFilter(kTextFilter);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    if (kind == TfrmEdit::FileDialogKind::Save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        // An existing file is replaced without asking.
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

TfrmEdit::FileChooser &fileChooser()
{
    static TfrmEdit::FileChooser chooser;
    return chooser;
}

} // namespace

TfrmEdit::FileChooser TfrmEdit::setFileChooser(FileChooser chooser)
{
    FileChooser previous = std::move(fileChooser());
    fileChooser() = std::move(chooser);
    return previous;
}

void TfrmEdit::actOpenExecute()
{
    const FileChooser &chooser = fileChooser();
    const QString fileName = chooser ? chooser(this, FileDialogKind::Open) : standardFileChooser(this, FileDialogKind::Open);
    if (fileName.isEmpty() || !QFileInfo(fileName).isFile())
        return;
    postfile::Post post;
    QString error;
    if (!postfile::read(fileName, post, error)) {
        reportError(error);
        return;
    }
    setSubject(post.subject);
    setBody(joinLines(post.bodyLines));
}

void TfrmEdit::actSaveExecute()
{
    const FileChooser &chooser = fileChooser();
    const QString fileName = chooser ? chooser(this, FileDialogKind::Save) : standardFileChooser(this, FileDialogKind::Save);
    if (fileName.isEmpty())
        return;
    QString error;
    if (!postfile::write(fileName, currentPost(), error))
        reportError(error);
}
