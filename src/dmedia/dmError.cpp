#include <dmedia/dmedia.h>

#include <cstdio>
#include <cstring>

namespace {
struct ErrorRecord {
    int number = 0;
    char detail[DM_MAX_ERROR_DETAIL] = "";
};
thread_local ErrorRecord lastError;
}

const char *dmGetError(int *number, char detail[DM_MAX_ERROR_DETAIL])
{
    if (number != nullptr)
        *number = lastError.number;
    if (detail != nullptr)
        std::memcpy(detail, lastError.detail, DM_MAX_ERROR_DETAIL);
    return lastError.detail;
}

void dmSetError(int number, const char *format, ...)
{
    lastError.number = number;
    va_list args;
    va_start(args, format);
    std::vsnprintf(lastError.detail, sizeof lastError.detail, format, args);
    va_end(args);
}

void dmClearError()
{
    lastError.number = 0;
    lastError.detail[0] = '\0';
}
