#include "pictures.h"

#include "error.h"
#include "table.h"

namespace kadrol {

QPixmap pictureFromStore(int key)
{
    QPixmap picture;
    try {
        kdb::Table t;
        t.setTableName(QStringLiteral("PICTR.DB"));
        t.setFiltered(true);
        t.setFilter(QStringLiteral("keyn=%1").arg(key));
        t.open();
        if (!t.isEmpty())
            picture.loadFromData(t.fieldByName(QStringLiteral("Pict")).value().toByteArray());
        t.close();
    } catch (const kdb::Error&) {
        // A missing picture leaves its box empty.
    }
    return picture;
}

} // namespace kadrol
