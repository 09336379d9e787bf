#pragma once

#include <QByteArray>

#include <deque>

// Messages waiting to be handed to the MQTT library, oldest first. Beyond the limit the
// oldest measurement is dropped, never a retained state: a retained message replaces the
// one still waiting on its topic instead, so that the latest state always goes out and a
// historian gets the newest measurements.
class MqttQueue
{
public:
    struct Message {
        QByteArray topic;
        QByteArray payload;
        bool retain = false;
    };

    explicit MqttQueue(int limit)
        : limit(limit)
    {
    }

    // Adds a message; `held` counts those the library holds, which count against the limit
    // but cannot be taken back. Returns how many measurements were dropped for it.
    int push(const Message &message, int held);
    bool empty() const { return messages.empty(); }
    int size() const { return int(messages.size()); }
    const Message &front() const { return messages.front(); }
    void pop() { messages.pop_front(); }

private:
    int limit;
    std::deque<Message> messages;
};
