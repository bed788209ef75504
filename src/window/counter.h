#pragma once

#include <QElapsedTimer>
#include <QFont>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <optional>

// A label whose caption is a decimal number that may change thousands of
// times a second: the caption is always current, the screen catches up at
// its own rate. Assistive technology reads the caption as the label's name;
// the tooltip gives it too, after the label's description. A caption too
// long for the label is drawn smaller, never cut.
class Counter : public QWidget {
    Q_OBJECT

public:
    static constexpr int BusyMs = 100;

    explicit Counter(QWidget* parent = nullptr);
    QString text() const;
    long long value() const { return m_value; }
    void setText(const QString& text);
    // Adds to the number the caption reads as.
    void add(long long amount);
    // The font the caption is drawn in: the label's, made smaller until the
    // caption fits its width.
    QFont shownFont() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void changed();
    void catchUp();

    // The number is kept as such; its caption is written only when read.
    long long m_value = 0;
    // The number on the screen, and the one assistive clients last heard;
    // none before the first.
    std::optional<long long> m_shown;
    QElapsedTimer m_sinceShown;
    QTimer m_repaint;
};
