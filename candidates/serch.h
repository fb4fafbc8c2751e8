#pragma once

#include <QDialog>

class QLineEdit;

namespace kadrol {

// The surname search of the candidate list: the first letters of a surname, asked in a small
// dialog. Made once at start-up, so its box keeps the text of the previous search.
class TFsrch : public QDialog {
    Q_OBJECT
public:
    explicit TFsrch(QWidget* parent = nullptr);

    QString text() const;
    QLineEdit* Edit1() const { return m_edit; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* m_edit;
};

extern TFsrch* Fsrch;

} // namespace kadrol
