#pragma once

#include "pipeline/DisplaySwitches.h"

#include <QDateTime>
#include <QString>

// The folder tree of one save set under the program folder: which folders a save needs,
// their paths, and their creation level by level. Plain functions, no widgets.
namespace SaveFolders {

// What decides which folders a save set gets.
struct Wanted
{
    bool brio = false;       // mapped frames go into the plain folders
    int appliedDataMode = 0; // non-zero: a WDR depth folder as well
    bool rgb = false, depth = false, ir = false;
    bool mappedRgb = false, mappedDepth = false, mappedIr = false;
};

// Wanted from the current display switches.
Wanted fromSwitches(bool brio);

// The set's folder name, "yyyy_MM_dd_hh_mm_ss".
QString stampOf(const QDateTime &time);

// Every backslash replaced by "//".
QString normalised(QString path);

// Creates the folders of path that do not exist, one level at a time along its "//"
// separators; a level that cannot be created is logged ("creat file error") and the walk
// goes on. Returns false when any level failed.
bool createLevels(const QString &path);

// Prepares the set's folders under appDir, creates them, and returns the target to hand to
// the frame reader. Folders the set does not need are left empty.
SaveTarget prepare(const QString &appDir, const QString &stamp, const Wanted &wanted);

} // namespace SaveFolders
