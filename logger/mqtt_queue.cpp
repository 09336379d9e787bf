#include "mqtt_queue.h"

#include <algorithm>

int MqttQueue::push(const Message &message, int held)
{
    if (message.retain) {
        const auto superseded = std::find_if(messages.begin(), messages.end(), [&](const Message &waiting) {
            return waiting.retain && waiting.topic == message.topic;
        });
        if (superseded != messages.end())
            messages.erase(superseded);
    }
    messages.push_back(message);
    int dropped = 0;
    while (size() + held > limit) {
        const auto oldest = std::find_if(messages.begin(), messages.end(),
                                         [](const Message &waiting) { return !waiting.retain; });
        // Retained states are one per topic, a handful: they stay even past the limit.
        if (oldest == messages.end())
            break;
        messages.erase(oldest);
        ++dropped;
    }
    return dropped;
}
