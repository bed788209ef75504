#pragma once

#include <QString>

#include <optional>

// Modal message boxes with an OK button and the application's title.
class MessageBoxes {
public:
    enum class Icon { None, Exclamation };

    virtual ~MessageBoxes() = default;
    // detail: further words under the text, such as the system's reason.
    virtual void show(const QString& text, Icon icon = Icon::None, const QString& detail = {}) = 0;
    // Asks for a whole number from `least` to `most`, offering `value`;
    // nothing when the user cancels.
    virtual std::optional<int> askNumber(const QString& text, int value, int least, int most) = 0;
    // Whether a box is open now (the event loop runs while one is).
    virtual bool showing() const = 0;
};
