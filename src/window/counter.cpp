#include "window/counter.h"

#include <QLabel>

void addToCounter(QLabel* counter, long long amount) {
    counter->setText(QString::number(counter->text().toLongLong() + amount));
}
