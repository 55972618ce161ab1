#include "engine/core/Number.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <locale.h>

namespace {

bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

i32 ParseInt(const char* text)
{
    if (!text) return 0;
    const char* s = text;
    while (IsCSpace(*s)) ++s;
    const bool negative = *s == '-';
    if (*s == '-' || *s == '+') ++s;
    i64 value = 0;
    for (; *s >= '0' && *s <= '9'; ++s) {
        value = value * 10 + (*s - '0');
        if (value > i64(INT32_MAX) + 1) break;
    }
    if (negative) value = -value;
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return i32(value);
}

f64 ParseDouble(const char* text)
{
    if (!text) return 0.0;
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return cLocale ? strtod_l(text, nullptr, cLocale) : std::strtod(text, nullptr);
}

f32 ParseFloat(const char* text)
{
    const f64 d = ParseDouble(text);
    if (std::isfinite(d) && std::fabs(d) > f64(FLT_MAX)) return d > 0 ? HUGE_VALF : -HUGE_VALF;
    return f32(d);
}
