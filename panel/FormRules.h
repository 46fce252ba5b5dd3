#pragma once

#include "panel/ModelPresets.h"
#include "panel/ToggleStep.h"

#include <QStringList>

class QComboBox;
class QWidget;

// Carries out the panel's rule tables on a form, finding each control by its object name.
// Every change goes through the control's own setters, so a check box's slot runs as it
// would for a click.
namespace FormRules {

// Shows, hides, enables and disables the row's controls for the user type.
void apply(QWidget &form, const ModelPresets::Row &row, int userType);

// Takes the steps in order; for each box its enabled state first, then its check state.
void apply(QWidget &form, const ControlSteps &steps);

// How a list takes new entries. Clearing and filling a list runs its slot for each change of
// the selection; relabelling in place keeps the selection and runs nothing.
enum class Fill {
    Rebuild,          // cleared and filled
    KeepWhenSame,     // as it is when it holds exactly these entries, else rebuilt
    RelabelSameCount, // relabelled in place when it holds as many entries, else rebuilt
};
void fill(QComboBox &list, const QStringList &items, Fill how);

// Selects, in order, every entry whose text contains text; each selection runs the list's
// slot.
void selectContaining(QComboBox &list, const QString &text);

} // namespace FormRules
