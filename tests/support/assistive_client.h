#pragma once

#include "window/accessibility.h"

#include <QAccessible>
#include <QAccessibleEvent>
#include <QString>

#include <vector>

// Listens as an assistive client would while it exists, and keeps what it
// hears: the event, and the name or text it carries.
struct AssistiveClient {
    struct Heard {
        QAccessible::Event type = QAccessible::InvalidEvent;
        QObject* object = nullptr;
        int position = -1;
        QString text;    // inserted or now held
        QString removed; // held before, for a replaced text
        QString name;    // the object's name when the event came
    };
    std::vector<Heard> heard;

    AssistiveClient() {
        setAssistiveClient([this](QAccessibleEvent& event) {
            Heard h;
            h.type = event.type();
            h.object = event.object();
            if (event.type() == QAccessible::TextInserted) {
                const auto& inserted = static_cast<QAccessibleTextInsertEvent&>(event);
                h.position = inserted.changePosition();
                h.text = inserted.textInserted();
            } else if (event.type() == QAccessible::TextUpdated) {
                const auto& updated = static_cast<QAccessibleTextUpdateEvent&>(event);
                h.position = updated.changePosition();
                h.text = updated.textInserted();
                h.removed = updated.textRemoved();
            }
            if (QAccessibleInterface* object = QAccessible::queryAccessibleInterface(h.object))
                h.name = object->text(QAccessible::Name);
            heard.push_back(h);
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
