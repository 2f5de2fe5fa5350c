#pragma once

#include <QDialog>
#include <QRect>
#include <QString>

#include <functional>
#include <optional>

class TDM;
namespace Ui {
class TfrmSettings;
}

// Opens the settings dialog modally over `owner`; on OK the edited values go
// to the data module's setters and are stored.
void OpenSettingsDialog(QWidget *owner);

// The settings dialog: name, e-mail address, password, post template and
// export folder. It keeps nothing of its own; the values live in the data
// module and reach it only when the dialog is closed with OK.
class TfrmSettings : public QDialog
{
    Q_OBJECT
public:
    // Asks the user for a folder: given the owner, the window caption and the
    // instruction text, returns the chosen folder's path, or nothing when the
    // user cancelled.
    using FolderPicker =
        std::function<std::optional<QString>(QWidget *owner, const QString &caption, const QString &instruction)>;

    explicit TfrmSettings(QWidget *parent = nullptr);
    ~TfrmSettings() override;

    Ui::TfrmSettings *controls() const { return ui; }

    // Fills the controls from the data module; the password once the
    // keychain has answered.
    void loadFrom(const TDM &dm);
    // Hands the control texts to the data module's setters, in the order
    // name, e-mail, password (once it is shown), template, export folder.
    void applyTo(TDM &dm) const;

    void sbDokuPathClick();

    // The picker the folder button runs; tests put a stub in its place.
    // Returns the picker it replaces.
    static FolderPicker setFolderPicker(FolderPicker picker);
    // The platform's folder dialog.
    static std::optional<QString> pickFolder(QWidget *owner, const QString &caption, const QString &instruction);

private:
    void showPathEnd();
    void showKeychainLine(bool shown);
    QString templateText() const;

    Ui::TfrmSettings *ui = nullptr;
    // The template as the editor showed it right after loading, and the text
    // it was loaded from: an untouched template goes back as it came, line
    // ends included.
    QString m_loadedTemplateShown;
    QString m_loadedTemplate;
    QRect m_noticeGeometry;
    bool m_passwortShown = false;
    QMetaObject::Connection m_keychainWatch;
};
