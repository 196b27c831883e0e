#include "Response.h"

#include <thread>

namespace sqlsim {

bool Response::hasError() const {
    for (const Item& item : m_items) {
        if (const Message* m = std::get_if<Message>(&item); m && m->severity >= 11) {
            return true;
        }
    }
    return false;
}

void Response::wait(std::chrono::milliseconds duration) {
    if (!waiter) {
        std::this_thread::sleep_for(duration);
        return;
    }
    if (!waiter(duration)) {
        throw AttentionReceived{};
    }
}

} // namespace sqlsim
