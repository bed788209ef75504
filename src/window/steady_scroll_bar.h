#pragma once

#include <QRect>
#include <QScrollBar>

// A scroll bar that repaints only when what it shows changes. Under a view
// that follows incoming data its range grows every frame, yet its handle,
// already as short as it gets, seldom moves by a pixel.
class SteadyScrollBar : public QScrollBar {
public:
    explicit SteadyScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // What the painting depends on besides the widget's own state.
    struct Look {
        QRect handle;
        bool atMinimum = false;
        bool atMaximum = false;
        bool operator==(const Look&) const = default;
    };
    Look look() const;
    void updateIfChanged();

    Look m_painted;
    bool m_checkPosted = false;
};
