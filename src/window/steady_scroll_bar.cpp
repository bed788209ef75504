#include "window/steady_scroll_bar.h"

#include <QPaintEvent>
#include <QStyle>
#include <QStyleOptionSlider>

#include <utility>

SteadyScrollBar::SteadyScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent) {}

SteadyScrollBar::Look SteadyScrollBar::look() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    return {
        style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this),
        value() == minimum(), value() == maximum()};
}

// A range and then a value set one after the other are one change: the look
// is compared once both are set.
void SteadyScrollBar::sliderChange(SliderChange change) {
    if (change == SliderOrientationChange) {
        QScrollBar::sliderChange(change);
        return;
    }
    if (std::exchange(m_checkPosted, true))
        return;
    QMetaObject::invokeMethod(this, &SteadyScrollBar::updateIfChanged, Qt::QueuedConnection);
}

void SteadyScrollBar::updateIfChanged() {
    m_checkPosted = false;
    if (look() != m_painted)
        update();
}

void SteadyScrollBar::paintEvent(QPaintEvent* event) {
    if (event->rect().contains(rect()))
        m_painted = look();
    QScrollBar::paintEvent(event);
}
