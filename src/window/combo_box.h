#pragma once

#include <QComboBox>

// An editable drop-down list that tells a choice from its list (activated)
// apart from Enter in its text (entered), and says when its list is about to
// open.
class ComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit ComboBox(QWidget* parent = nullptr);
    void showPopup() override;

signals:
    void entered();
    void popupAboutToShow();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
