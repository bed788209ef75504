#include "window/counter.h"

#include "window/accessibility.h"

#include <QAccessible>
#include <QPainter>
#include <QStyle>

Counter::Counter(QWidget* parent)
    : QWidget(parent) {
    installAccessibleInterfaces();
    m_repaint.setSingleShot(true);
    m_repaint.setInterval(16);
    connect(&m_repaint, &QTimer::timeout, this, &Counter::catchUp);
}

void Counter::setText(const QString& text) {
    m_text = text;
    if (!m_repaint.isActive())
        m_repaint.start();
}

// The screen, and a listening assistive client, hear of the caption at most
// once a frame.
void Counter::catchUp() {
    update();
    if (assistiveClientListening()) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        announce(event);
    }
}

void Counter::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    style()->drawItemText(&painter, rect(), Qt::AlignLeft | Qt::AlignVCenter, palette(),
                          isEnabled(), m_text, foregroundRole());
}

void addToCounter(Counter* counter, long long amount) {
    counter->setText(QString::number(counter->text().toLongLong() + amount));
}
