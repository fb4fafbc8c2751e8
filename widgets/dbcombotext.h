#pragma once

#include "datacontrol.h"

#include <QComboBox>

namespace widgets {

// A text box with a drop-down of fixed suggestions over a text field (citizenship, the number
// of children): a suggestion is picked or any other text typed, and the text is stored.
class DbComboText : public QComboBox, public DataControl {
    Q_OBJECT
public:
    explicit DbComboText(QWidget* parent = nullptr);
    DbComboText(DataSource* source, const QString& fieldName, const QStringList& suggestions,
                QWidget* parent = nullptr);

    void setSuggestions(const QStringList& suggestions);

    void showPopup() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void showValue(const kdb::Field* field) override;
    void applyReadOnly(bool readOnly) override;
    void applyBoxColour(const QColor& colour) override;

private:
    void onTextEdited(const QString& text);
    void onActivated(int index);
    bool m_blocked = false;
};

} // namespace widgets
