#pragma once

#include <QPixmap>

namespace kadrol {

// A picture of the picture table PICTR.DB, opened by its bare file name from the current
// folder (the program folder); a null pixmap when the row or the table is missing or the
// picture does not decode. The table is opened and closed again for each picture.
QPixmap pictureFromStore(int key);

} // namespace kadrol
