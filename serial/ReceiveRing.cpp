#include "serial/ReceiveRing.h"

void ReceiveRing::append(const char* bytes, int count)
{
    for (int i = 0; i < count; ++i) {
        g_rxRing[g_rxHead] = static_cast<unsigned char>(bytes[i]);
        g_rxHead = (g_rxHead + 1) % SIZE;
    }
}
