#include "window/counter.h"

#include "window/accessibility.h"
#include "window/frame.h"

#include <QAccessible>
#include <QPainter>
#include <QStyle>

Counter::Counter(QWidget* parent)
    : QWidget(parent) {
    installAccessibleInterfaces();
    m_repaint.setSingleShot(true);
    m_repaint.setInterval(FrameMs);
    connect(&m_repaint, &QTimer::timeout, this, &Counter::catchUp);
}

QString Counter::text() const {
    if (m_textStale) {
        m_text = QString::number(m_value);
        m_textStale = false;
    }
    return m_text;
}

void Counter::setText(const QString& text) {
    m_text = text;
    m_textStale = false;
    m_value = text.toLongLong();
    changed();
}

void Counter::add(long long amount) {
    m_value += amount;
    m_textStale = true;
    changed();
}

void Counter::changed() {
    if (!m_repaint.isActive())
        m_repaint.start();
}

// The screen, and a listening assistive client, hear of the caption at most
// once a frame, and only when it reads otherwise than before.
void Counter::catchUp() {
    if (text() == m_shown)
        return;
    m_shown = text();
    update();
    if (assistiveClientListening()) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        announce(event);
    }
}

void Counter::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    style()->drawItemText(&painter, rect(), Qt::AlignLeft | Qt::AlignVCenter, palette(),
                          isEnabled(), text(), foregroundRole());
}
