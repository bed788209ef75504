#include "window/combo_box.h"

#include "window/accessibility.h"

#include <QKeyEvent>
#include <QLineEdit>

ComboBox::ComboBox(QWidget* parent)
    : QComboBox(parent) {
    installAccessibleInterfaces();
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    // Leaving the text is no choice: QComboBox would pick the entry that
    // matches the text, and run the click handler, whenever focus moves on.
    disconnect(lineEdit(), &QLineEdit::editingFinished, this, nullptr);
}

void ComboBox::showPopup() {
    emit popupAboutToShow();
    QComboBox::showPopup();
}

// The box keeps the focus and hands keys to its line edit itself, past that
// widget's event filters, so Enter is taken here. Left to QComboBox it may
// emit activated twice, or not at all for a text that is not in the list.
void ComboBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        emit entered();
        return;
    }
    QComboBox::keyPressEvent(event);
}
