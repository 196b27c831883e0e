#include "Response.h"

namespace sqlsim {

bool Response::hasError() const {
    for (const Item& item : m_items) {
        if (const Message* m = std::get_if<Message>(&item); m && m->severity >= 11) {
            return true;
        }
    }
    return false;
}

} // namespace sqlsim
