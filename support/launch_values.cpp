#include "support/launch_values.h"

std::uint32_t g_userKey = 0;
std::uint32_t g_schoolKey = 0;
std::string g_webServer;
