#include "window/counter.h"

#include <QPainter>
#include <QStyle>

Counter::Counter(QWidget* parent)
    : QWidget(parent) {
    m_repaint.setSingleShot(true);
    m_repaint.setInterval(16);
    connect(&m_repaint, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

void Counter::setText(const QString& text) {
    m_text = text;
    if (!m_repaint.isActive())
        m_repaint.start();
}

void Counter::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    style()->drawItemText(&painter, rect(), Qt::AlignLeft | Qt::AlignVCenter, palette(),
                          isEnabled(), m_text, foregroundRole());
}

void addToCounter(Counter* counter, long long amount) {
    counter->setText(QString::number(counter->text().toLongLong() + amount));
}
