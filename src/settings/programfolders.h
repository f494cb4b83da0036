#pragma once

#include <QString>

namespace quillmer {

// Where the program finds its files. In a folder laid out by the build both
// folders are the executable's own. An installed program, whose executable
// has the file named by PerUserMarker beside it, keeps each user's
// SETTINGS.INI and registry.reg in $XDG_DATA_HOME/quillmer and reads its
// pictures and help from the executable's folder.
struct ProgramFolders
{
    QString program;   // SETTINGS.INI and registry.reg, without a trailing '/'
    QString files;     // images/ and help/, without a trailing '/'
    QString problem{}; // why the per-user folder could not be laid out, if it could not

    // Everything in one folder, as the build lays it out.
    static ProgramFolders oneFolder(const QString& folder) { return {folder, folder}; }
};

inline constexpr char PerUserMarker[] = "per-user";

// $XDG_DATA_HOME when it holds an absolute path, else ~/.local/share.
QString userDataFolder();

// The folders of the executable in executableFolder (without a trailing
// '/'). For an installed program, the first start lays out the per-user
// folder below dataHome from the defaults beside the executable.
ProgramFolders findProgramFolders(const QString& executableFolder,
                                  const QString& dataHome = userDataFolder());

// Lays out folder from the SETTINGS.INI and registry.reg in defaultsFolder:
// copies made 0600, in a folder made 0700. The folder appears whole, by a
// rename, or not at all. A folder (or anything else) already at that path,
// also one that another start laid out meanwhile, is kept as it is: a
// SETTINGS.INI deleted from it is not made again. Empty when the folder is
// there, else why it is not.
QString layOutUserFolder(const QString& defaultsFolder, const QString& folder);

} // namespace quillmer
