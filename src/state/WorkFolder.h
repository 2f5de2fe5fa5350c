#pragma once

#include <QString>

// Where the program keeps its work files and finds its own data files, so
// that an installed copy in a read-only folder works as well as one run from
// its build folder.
namespace tarnvik {

// The folder for work files ("Temp.html", drafts): `programFolder` when the
// program may write there and is not an installed copy (one whose data lies
// in "<prefix>/share/tarnvik/"), else the per-user data folder
// ("~/.local/share/Tarnvik", made if missing).
// Ends in the platform's separator. Empty only when neither can be used.
QString workFolder(const QString &programFolder);

// The per-user data folder ("~/.local/share/Tarnvik"), made if missing,
// for the program's own data (its database, the user's word list). Ends in
// the platform's separator; empty when there is none.
QString userDataFolder();

// A data file that ships with the program ("Response.html"): in
// `programFolder` when it is there, else in the installed data folder
// ("<prefix>/share/tarnvik/"). When it is nowhere, the name in the program
// folder, so that the error names the place a user would look first.
QString dataFilePath(const QString &programFolder, const QString &name);

} // namespace tarnvik
