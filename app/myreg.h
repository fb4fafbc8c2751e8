#pragma once

#include <QDateTime>

namespace kadrol {

// Whole years, months and days between two moments, as the agency counts ages: February always
// has 28 days, and after a borrowed month the days may stay negative (from 31 January to
// 1 March is 0 years, 1 month, -2 days); callers that need an age use the years only.
struct Span {
    int years = 0;
    int months = 0;
    int days = 0;
    bool operator==(const Span& o) const
    {
        return years == o.years && months == o.months && days == o.days;
    }
};

// later before earlier (as full date-times) gives 0, 0, 0; the time of day is ignored otherwise.
Span DateSpan(const QDateTime& later, const QDateTime& earlier);

} // namespace kadrol
