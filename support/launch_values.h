// The launch values, set once at start-up from the launch record and read everywhere
// a workspace path or a request to a sibling tool is built.
#pragma once

#include <cstdint>
#include <string>

extern std::uint32_t g_userKey;
extern std::uint32_t g_schoolKey;
extern std::string g_webServer;
