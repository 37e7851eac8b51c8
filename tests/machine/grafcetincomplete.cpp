// A machine-control library of an older mechanism: it knows nothing of doors.
#include <cstdint>

extern "C" {
std::int32_t init_grafcet(std::int32_t)
{
    return 0;
}
std::int32_t raz_tpv(std::int32_t)
{
    return 0;
}
}
