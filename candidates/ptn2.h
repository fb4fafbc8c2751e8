#pragma once

#include "datasource.h"
#include "query.h"

#include <QDialog>

namespace widgets {
class DbGrid;
}

namespace kadrol {

// "Список рег. №": every candidate of both bases by registration number (as text), so that
// the user can pick a number not yet in use. Created by the candidate card for one showing,
// shown modally and destroyed when it closes; the query Qtn2 is opened when it is created.
class TFtn2 : public QDialog {
    Q_OBJECT
public:
    explicit TFtn2(QWidget* parent = nullptr);
    ~TFtn2() override;

    kdb::Query Qtn2;
    widgets::DataSource DSQtn2;
    widgets::DbGrid* grid() const { return m_grid; }

private:
    widgets::DbGrid* m_grid;
};

} // namespace kadrol
