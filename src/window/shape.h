#pragma once

#include <QColor>
#include <QWidget>

// A filled rectangle, the port lamp. Assistive technology reads it as a
// picture named by its accessible name.
class Shape : public QWidget {
    Q_OBJECT

public:
    explicit Shape(QWidget* parent = nullptr);
    QColor fillColor() const { return m_fill; }
    void setFillColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_fill = Qt::black;
};
