// Searches and ranges shared by the series nodes.
#ifndef QV_SERIES_SEARCH_H
#define QV_SERIES_SEARCH_H

// Index of the entry of times[0 .. n) nearest to t, for n > 0 and times
// rising. At and beyond the ends the first or last entry. The search
// starts at startIndex (clamped): forward when times[startIndex] < t, a
// tie going to the later entry; otherwise backward, a tie going to the
// earlier one.
int qvNearestTimeIndex(const float *times, int n, float t, int startIndex);

// Range of values[0 .. n), both ends starting at 0, so it holds 0.
void qvValueRangeWithZero(const float *values, int n, float &min, float &max);

#endif
