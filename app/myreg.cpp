#include "myreg.h"

namespace kadrol {

namespace {
const int kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
}

Span DateSpan(const QDateTime& later, const QDateTime& earlier)
{
    Span span;
    if (later < earlier)
        return span;
    int y1 = later.date().year(), m1 = later.date().month(), d1 = later.date().day();
    const int y0 = earlier.date().year(), m0 = earlier.date().month(), d0 = earlier.date().day();
    span.days = d1 - d0;
    if (span.days < 0) {
        // Borrow the month before the later date's month.
        --m1;
        if (m1 < 1) {
            m1 = 12;
            --y1;
        }
        span.days += kMonthDays[m1 - 1];
    }
    span.months = m1 - m0;
    if (span.months < 0) {
        --y1;
        span.months += 12;
    }
    span.years = y1 - y0;
    return span;
}

} // namespace kadrol
