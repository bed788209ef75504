#include "window/combo_box.h"

#include <QKeyEvent>
#include <QLineEdit>

ComboBox::ComboBox(QWidget* parent)
    : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    // Enter is taken here: left to QComboBox it may emit activated twice, or
    // not at all for a text that is not in the list.
    lineEdit()->installEventFilter(this);
    // Nor is leaving the text a choice: QComboBox would pick the entry that
    // matches the text, and run the click handler, whenever focus moves on.
    disconnect(lineEdit(), &QLineEdit::editingFinished, this, nullptr);
}

void ComboBox::showPopup() {
    emit popupAboutToShow();
    QComboBox::showPopup();
}

bool ComboBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lineEdit() && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            emit entered();
            return true;
        }
    }
    return QComboBox::eventFilter(watched, event);
}
