#include "buttons.h"

#include <QPushButton>

namespace widgets {

QPushButton* panelButton(QWidget* parent, const QString& caption, const QString& hint)
{
    auto* b = new QPushButton(caption, parent);
    b->setAccessibleName(caption);
    if (!hint.isEmpty())
        b->setToolTip(hint);
    b->setAutoDefault(false);
    return b;
}

} // namespace widgets
