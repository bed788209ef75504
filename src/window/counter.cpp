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
    return QString::number(m_value);
}

void Counter::setText(const QString& text) {
    m_value = text.toLongLong();
    changed();
}

void Counter::add(long long amount) {
    m_value += amount;
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
    if (m_value == m_shown)
        return;
    m_shown = m_value;
    m_sinceShown.start();
    update();
    setToolTip(accessibleDescription().isEmpty()
                   ? text()
                   : QStringLiteral("%1: %2").arg(accessibleDescription(), text()));
    if (assistiveClientListening()) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        announce(event);
    }
}

// Half a point smaller at a time; drawn at most ten times a second, so it is
// found afresh each time.
QFont Counter::shownFont() const {
    const QString caption = text();
    QFont fitted = font();
    qreal points = QFontInfo(fitted).pointSizeF();
    while (points > 1 && QFontMetricsF(fitted).horizontalAdvance(caption) > width()) {
        points -= 0.5;
        fitted.setPointSizeF(points);
    }
    return fitted;
}

void Counter::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(shownFont());
    style()->drawItemText(&painter, rect(), Qt::AlignLeft | Qt::AlignVCenter, palette(),
                          isEnabled(), text(), foregroundRole());
}
