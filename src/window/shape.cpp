#include "window/shape.h"

#include "window/accessibility.h"

#include <QPainter>

Shape::Shape(QWidget* parent)
    : QWidget(parent) {
    installAccessibleInterfaces();
}

void Shape::setFillColor(const QColor& color) {
    m_fill = color;
    update();
}

void Shape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), m_fill);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
