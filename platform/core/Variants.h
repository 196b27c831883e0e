#pragma once
// Unassigned and SQL NULL are different things: an invalid QVariant is unassigned (nothing was
// given), a valid QVariant holding std::nullptr_t is NULL (the value is known to be absent).
#include <QVariant>

#include <cstddef>

inline QVariant NullVariant() {
    return QVariant::fromValue(nullptr);
}

inline bool IsUnassigned(const QVariant& v) {
    return !v.isValid();
}

// NULL or unassigned: either way there is no value.
inline bool IsNullOrUnassigned(const QVariant& v) {
    return !v.isValid() || v.isNull();
}

inline bool IsNullValue(const QVariant& v) {
    return v.isValid() && v.isNull();
}
