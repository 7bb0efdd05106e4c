#include <nodes/qvSeriesSearch.h>

#include <cmath>

int qvNearestTimeIndex(const float *times, int n, float t, int startIndex)
{
    if (t <= times[0] || n == 1)
        return 0;
    if (times[n - 1] <= t)
        return n - 1;
    int i = startIndex < 0 ? 0 : (startIndex >= n ? n - 1 : startIndex);
    if (times[i] < t) {
        // Forward to the first entry at or after t.
        while (i < n - 1 && times[i] < t)
            ++i;
        if (i < 1)
            i = 1;
        return std::fabs(t - times[i - 1]) < std::fabs(t - times[i]) ? i - 1 : i;
    }
    // Backward to the last entry at or before t.
    while (i > 0 && times[i] > t)
        --i;
    if (i > n - 2)
        i = n - 2;
    return std::fabs(t - times[i + 1]) < std::fabs(t - times[i]) ? i + 1 : i;
}

void qvValueRangeWithZero(const float *values, int n, float &min, float &max)
{
    min = 0.0f;
    max = 0.0f;
    for (int i = 0; i < n; ++i) {
        const float x = values[i];
        if (max < x)
            max = x;
        if (x < min)
            min = x;
    }
}
