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

bool Response::waitUntil(const std::function<bool()>& ready, std::optional<std::chrono::milliseconds> limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit.value_or(std::chrono::milliseconds(0));
    while (!ready()) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                          std::chrono::steady_clock::now());
        if (limit && left.count() <= 0) {
            return false;
        }
        auto slice = std::chrono::milliseconds(20);
        wait(limit ? std::min(slice, left) : slice);
    }
    return true;
}

void Response::wait(std::chrono::milliseconds duration) {
    partlySent = true;
    if (!waiter) {
        std::this_thread::sleep_for(duration);
        return;
    }
    if (!waiter(duration)) {
        throw AttentionReceived{};
    }
}

} // namespace sqlsim
