#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;

namespace kadrol {

// The splash window shown while the long-lived windows are created: the start-up picture, a
// gauge and the request to wait. It shows the hourglass cursor while it lives.
class TFload : public QDialog {
    Q_OBJECT
public:
    explicit TFload(QWidget* parent = nullptr);
    ~TFload() override;
    void setGauge(int percent);
    int gauge() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* m_picture;
    QProgressBar* m_gauge;
    QLabel* m_panel;
    bool m_cursorSet = false;
};

} // namespace kadrol
