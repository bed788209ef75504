#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>

// A label whose caption is a decimal number that may change thousands of
// times a second: the caption is always current, the screen catches up at
// its own rate. Assistive technology reads the caption as the label's name.
class Counter : public QWidget {
    Q_OBJECT

public:
    explicit Counter(QWidget* parent = nullptr);
    QString text() const { return m_text; }
    void setText(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void catchUp();

    QString m_text;
    QTimer m_repaint;
};

// An update reads the caption as a number, adds, and writes the sum back.
void addToCounter(Counter* counter, long long amount);
