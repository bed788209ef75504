#pragma once

#include <QColor>
#include <QWidget>

// A filled rectangle, the port lamp.
class Shape : public QWidget {
    Q_OBJECT

public:
    using QWidget::QWidget;
    QColor fillColor() const { return m_fill; }
    void setFillColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_fill = Qt::black;
};
