#pragma once

#include "platform/desktop.h"

class QtShell final : public Shell {
public:
    void open(const QString& address) override;
};

class QtEventLoop final : public EventLoop {
public:
    void yield() override;
    void wait() override;
};
