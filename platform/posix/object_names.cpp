#include "platform/object_names.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <unistd.h>

namespace platform {
namespace {

std::string Tag()
{
    const char* tag = std::getenv("VARNEL_CHANNEL_TAG");
    if (!tag || !*tag)
        return {};
    const std::string text = tag;
    const bool plain = text.size() <= 64 && std::all_of(text.begin(), text.end(), [](unsigned char c) {
                           return std::isalnum(c) || c == '-' || c == '_';
                       });
    return plain ? ".t" + text : std::string();
}

} // namespace

std::string ScopedName(const std::string& name)
{
    const std::string bare = name.starts_with('/') ? name.substr(1) : name;
    return bare + ".u" + std::to_string(geteuid()) + Tag();
}

std::string SystemObjectName(const std::string& name) { return "/" + ScopedName(name); }

} // namespace platform
