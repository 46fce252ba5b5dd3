#include "panel/FormRules.h"

#include <QCheckBox>
#include <QComboBox>

namespace FormRules {

void apply(QWidget &form, const ModelPresets::Row &row, int userType)
{
    for (const ModelPresets::ControlState &state : row) {
        QWidget *control = form.findChild<QWidget *>(state.control);
        Q_ASSERT(control);
        if (!control)
            continue;
        control->setVisible(ModelPresets::isShown(state.shown, userType));
        if (state.enabled != ModelPresets::Enabled::Keep)
            control->setEnabled(ModelPresets::isEnabled(state.enabled, userType));
    }
}

void apply(QWidget &form, const ControlSteps &steps)
{
    for (const ControlStep &step : steps) {
        QCheckBox *box = form.findChild<QCheckBox *>(QLatin1String(step.control));
        Q_ASSERT(box);
        if (!box)
            continue;
        if (const std::optional<bool> enabled = ToggleSteps::enabledAfter(step.step))
            box->setEnabled(*enabled);
        if (const std::optional<bool> checked = ToggleSteps::checkedAfter(step.step))
            box->setChecked(*checked);
    }
}

void fill(QComboBox &list, const QStringList &items, Fill how)
{
    QStringList now;
    for (int i = 0; i < list.count(); ++i)
        now << list.itemText(i);
    if (how == Fill::KeepWhenSame && now == items)
        return;
    if (how == Fill::RelabelSameCount && now.size() == items.size()) {
        for (int i = 0; i < items.size(); ++i)
            list.setItemText(i, items.at(i));
        return;
    }
    list.clear();
    list.addItems(items);
}

void selectContaining(QComboBox &list, const QString &text)
{
    for (int i = 0; i < list.count(); ++i)
        if (list.itemText(i).contains(text))
            list.setCurrentIndex(i);
}

} // namespace FormRules
