#pragma once

#include "core/shell/RuntimeError.h"

#include <cstdint>
#include <limits>

// A 16-bit signed window-level counter. Assigning a value out of range, or stepping past the limit,
// raises the "overflow" run-time error instead of wrapping.
class Int16Counter {
public:
    constexpr Int16Counter() = default;

    Int16Counter& operator=(int value)
    {
        m_value = checked(value);
        return *this;
    }

    void step() { m_value = checked(int{m_value} + 1); }

    constexpr operator int() const noexcept { return m_value; }

private:
    static std::int16_t checked(int value)
    {
        if (value < std::numeric_limits<std::int16_t>::min() || value > std::numeric_limits<std::int16_t>::max())
            throw RuntimeError::overflow();
        return static_cast<std::int16_t>(value);
    }

    std::int16_t m_value = 0;
};
