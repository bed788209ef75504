#pragma once

#include <QString>

#include <functional>

class QAccessibleEvent;

// Gives the controls Qt lacks (LogView, Counter, Shape) accessible interfaces,
// so that screen readers and UI test tools read them as they read Qt's own
// controls, and ComboBox one that reads by its name. Each of those controls
// calls it; the first call installs them.
void installAccessibleInterfaces();

// Whether an assistive client listens. Changes are announced only then, so
// that a flood of data costs nothing extra otherwise.
bool assistiveClientListening();
// Tells the listening assistive clients of a change.
void announce(QAccessibleEvent& event);

// Text as assistive technology is told it. A NUL, common in serial data,
// would end the text on its way to the client (AT-SPI strings stop there), so
// it reads as the symbol for null, U+2400, and every offset stays as it was.
QString readableText(QString text);

// A stand-in for an assistive client, for tests (offscreen there is none): it
// hears every announcement, in place of the platform. Empty removes it.
void setAssistiveClient(std::function<void(QAccessibleEvent&)> client);
