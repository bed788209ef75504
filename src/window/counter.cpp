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

// A number that changes all the time is read at a glance, not at every
// frame: it is shown again at most every BusyMs. A change after a quiet spell
// shows within a frame.
void Counter::changed() {
    if (m_repaint.isActive())
        return;
    const bool busy = m_sinceShown.isValid() && m_sinceShown.elapsed() < BusyMs;
    m_repaint.start(busy ? BusyMs : FrameMs);
}

// The screen, and a listening assistive client, hear of the caption at most
// once a frame, and only when it reads otherwise than before.
void Counter::catchUp() {
    if (text() == m_shown)
        return;
    m_shown = text();
    m_sinceShown.start();
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
