#include "state/Settings.h"

#include "state/DModul.h"
#include "state/DialogFont.h"
#include "state/Icons.h"
#include "state/PasswortWait.h"
#include "ui_Settings.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QPointer>
#include <QToolButton>

namespace {

const QString kPickerCaption = QStringLiteral("Verzeichnis auswählen");
const QString kPickerInstruction = QStringLiteral("Tarnvik Datenexport");

TfrmSettings::FolderPicker &folderPicker()
{
    static TfrmSettings::FolderPicker picker;
    return picker;
}

// Puts `widget` into a new first row of `grid`, above everything it holds.
void prependRow(QGridLayout *grid, QWidget *widget)
{
    struct Placed {
        QLayoutItem *item;
        int row, column, rowSpan, columnSpan;
    };
    QList<Placed> placed;
    for (int i = grid->count() - 1; i >= 0; --i) {
        Placed p{nullptr, 0, 0, 0, 0};
        grid->getItemPosition(i, &p.row, &p.column, &p.rowSpan, &p.columnSpan);
        p.item = grid->takeAt(i);
        placed.prepend(p);
    }
    grid->addWidget(widget, 0, 0, 1, -1);
    for (const Placed &p : std::as_const(placed))
        grid->addItem(p.item, p.row + 1, p.column, p.rowSpan, p.columnSpan);
}

} // namespace

void OpenSettingsDialog(QWidget *owner)
{
    if (!DM)
        return;
    // Made for each opening and gone after it closes, so nothing typed
    // survives a cancelled dialog. Held by a guarded pointer in case the
    // owner goes away while the dialog runs.
    QPointer<TfrmSettings> dialog = new TfrmSettings(owner);
    dialog->loadFrom(*DM);
    const int result = dialog->exec();
    if (!dialog)
        return;
    // The values are handed over only when the settings can be stored at
    // all; otherwise they are dropped without a message. They are stored at
    // once, so that a program that does not end normally keeps them.
    if (result == QDialog::Accepted && DM && DM->OpenSettingsStore()) {
        dialog->applyTo(*DM);
        DM->SaveSettings();
    }
    delete dialog;
}

TfrmSettings::TfrmSettings(QWidget *parent)
    : QDialog(parent), ui(new Ui::TfrmSettings)
{
    tarnvik::substituteDialogFont();
    ui->setupUi(this);
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(342, 359);
    move(239, 191);
    ui->sbDokuPath->setIcon(TarnvikIcons::icon16(ico16OpenFolder));
    connect(ui->sbDokuPath, &QToolButton::clicked, this, &TfrmSettings::sbDokuPathClick);
    m_noticeGeometry = ui->lblNotice->geometry();
    showKeychainLine(false);
}

TfrmSettings::~TfrmSettings()
{
    delete ui;
}

void TfrmSettings::loadFrom(const TDM &dm)
{
    ui->EUser->setText(dm.Name());
    ui->EEMail->setText(dm.EMail());
    // The password is shown once the keychain has answered; until then its
    // field stays empty and disabled, and OK leaves the password as it is.
    m_passwortShown = false;
    ui->EPasswort->clear();
    ui->EPasswort->setEnabled(false);
    showKeychainLine(false);
    // The keychain may still take or refuse a password it was given.
    disconnect(m_keychainWatch);
    m_keychainWatch = connect(&dm, &TDM::KeychainAnswered, this, [this, &dm] {
        if (m_passwortShown)
            showKeychainLine(!dm.PasswortInKeychain());
    });
    tarnvik::afterPasswortKnown(this, dm, [this, &dm] {
        m_passwortShown = true;
        ui->EPasswort->setText(dm.Passwort());
        ui->EPasswort->setEnabled(true);
        showKeychainLine(!dm.PasswortInKeychain());
    });
    ui->memTemplate->setPlainText(dm.Template());
    m_loadedTemplate = dm.Template();
    m_loadedTemplateShown = ui->memTemplate->toPlainText();
    ui->EPath->setText(dm.DokuPath());
    showPathEnd();
}

void TfrmSettings::applyTo(TDM &dm) const
{
    dm.SetName(ui->EUser->text());
    dm.SetEMail(ui->EEMail->text());
    if (m_passwortShown)
        dm.SetPasswort(ui->EPasswort->text());
    dm.SetTemplate(templateText());
    dm.SetDokuPath(ui->EPath->text());
}

QString TfrmSettings::templateText() const
{
    // The editor shows line ends as paragraph breaks and gives them back as
    // LF; the stored template has CR LF between its lines.
    QString shown = ui->memTemplate->toPlainText();
    if (shown == m_loadedTemplateShown)
        return m_loadedTemplate;
    return shown.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
}

void TfrmSettings::showKeychainLine(bool shown)
{
    // One line under the password field says that the password is kept in
    // plain text; the notice below moves down to make room for it, and
    // everything else stays where it was designed.
    ui->lblKeychain->setVisible(shown);
    ui->lblNotice->setGeometry(shown ? m_noticeGeometry.translated(0, 12) : m_noticeGeometry);
}

void TfrmSettings::showPathEnd()
{
    // The end of a long path is the part worth seeing.
    ui->EPath->end(false);
}

void TfrmSettings::sbDokuPathClick()
{
    const FolderPicker picker = folderPicker() ? folderPicker() : FolderPicker(&TfrmSettings::pickFolder);
    const std::optional<QString> chosen = picker(this, kPickerCaption, kPickerInstruction);
    if (!chosen || chosen->isEmpty())
        return;
    // One separator at the end, so that file names can be appended; a root
    // folder has one already.
    ui->EPath->setText(tarnvik::withTrailingSeparator(*chosen));
    showPathEnd();
}

TfrmSettings::FolderPicker TfrmSettings::setFolderPicker(FolderPicker picker)
{
    return std::exchange(folderPicker(), std::move(picker));
}

std::optional<QString> TfrmSettings::pickFolder(QWidget *owner, const QString &caption, const QString &instruction)
{
    // Qt's own dialog rather than the platform's, so that the instruction
    // can stand above the folder view.
    QFileDialog dialog(owner, caption, QDir::homePath());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("Suchen in:"));
    dialog.setLabelText(QFileDialog::FileName, QStringLiteral("Verzeichnis:"));
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("OK"));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("Abbrechen"));
    if (auto *newFolder = dialog.findChild<QToolButton *>(QStringLiteral("newFolderButton"))) {
        newFolder->setToolTip(QStringLiteral("Neuer Ordner"));
        newFolder->setAccessibleName(QStringLiteral("Neuer Ordner"));
    }
    // Only folders are shown, so a choice of file types has nothing to offer.
    for (const char *name : {"fileTypeLabel", "fileTypeCombo"}) {
        if (QWidget *widget = dialog.findChild<QWidget *>(QLatin1String(name)))
            widget->hide();
    }

    auto *label = new QLabel(instruction, &dialog);
    label->setTextFormat(Qt::PlainText);
    label->setObjectName(QStringLiteral("lblInstruction"));
    if (auto *grid = qobject_cast<QGridLayout *>(dialog.layout()))
        prependRow(grid, label);
    else if (dialog.layout())
        dialog.layout()->addWidget(label);

    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QString folder = dialog.selectedFiles().value(0);
    // Only a folder that exists in the file system can hold the export.
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return std::nullopt;
    return QDir::toNativeSeparators(QFileInfo(folder).absoluteFilePath());
}
