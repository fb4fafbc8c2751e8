#pragma once

#include <QDialog>

namespace kadrol {

// The about box: the product's picture, the version and the systems line, and "Ok".
class TFabout : public QDialog {
    Q_OBJECT
public:
    explicit TFabout(QWidget* parent = nullptr);
};

} // namespace kadrol
