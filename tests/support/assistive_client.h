#pragma once

#include "window/accessibility.h"

#include <QAccessible>
#include <QAccessibleEvent>

#include <vector>

// Stands in for an assistive client while it exists, and keeps what it hears.
struct AssistiveClient {
    struct Heard {
        QAccessible::Event type;
        QObject* object;
        int position; // of inserted or replaced text
        QString text; // the text inserted, else the object's name when told
        QString removed = {};
    };
    std::vector<Heard> heard;

    AssistiveClient() {
        setAssistiveClient([this](QAccessibleEvent& event) {
            if (event.type() == QAccessible::TextInserted) {
                const auto& inserted = static_cast<QAccessibleTextInsertEvent&>(event);
                heard.push_back({event.type(), event.object(), inserted.changePosition(),
                                 inserted.textInserted()});
            } else if (event.type() == QAccessible::TextUpdated) {
                const auto& updated = static_cast<QAccessibleTextUpdateEvent&>(event);
                heard.push_back({event.type(), event.object(), updated.changePosition(),
                                 updated.textInserted(), updated.textRemoved()});
            } else {
                const auto* object = QAccessible::queryAccessibleInterface(event.object());
                heard.push_back(
                    {event.type(), event.object(), -1, object->text(QAccessible::Name)});
            }
        });
    }
    ~AssistiveClient() { setAssistiveClient({}); }
    AssistiveClient(const AssistiveClient&) = delete;
    AssistiveClient& operator=(const AssistiveClient&) = delete;

    std::vector<Heard> of(QAccessible::Event type, const QObject* object) const {
        std::vector<Heard> found;
        for (const Heard& h : heard)
            if (h.type == type && h.object == object)
                found.push_back(h);
        return found;
    }
};
