#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

#include "platform/object_names.h"

namespace {

// The bare name stays the base; the user always follows it, a plain tag after that.
TEST(ObjectNames, CarryTheUserAndAPlainTag)
{
    const std::string user = ".u" + std::to_string(geteuid());
    const struct {
        const char* tag; // null: unset
        std::string expected;
    } cases[] = {
        {nullptr, "/__FENNICK_SHARE_MAPPING_NAME__" + user},
        {"", "/__FENNICK_SHARE_MAPPING_NAME__" + user},
        {"e2e-Run_7", "/__FENNICK_SHARE_MAPPING_NAME__" + user + ".te2e-Run_7"},
        {"../x", "/__FENNICK_SHARE_MAPPING_NAME__" + user},
        {"a b", "/__FENNICK_SHARE_MAPPING_NAME__" + user},
        {"x/y", "/__FENNICK_SHARE_MAPPING_NAME__" + user},
    };
    const char* kept = std::getenv("VARNEL_CHANNEL_TAG");
    const std::string saved = kept ? kept : "";
    for (const auto& c : cases) {
        if (c.tag)
            setenv("VARNEL_CHANNEL_TAG", c.tag, 1);
        else
            unsetenv("VARNEL_CHANNEL_TAG");
        EXPECT_EQ(platform::SystemObjectName("__FENNICK_SHARE_MAPPING_NAME__"), c.expected) << (c.tag ? c.tag : "unset");
        EXPECT_EQ(platform::SystemObjectName("/__FENNICK_SHARE_MAPPING_NAME__"), c.expected);
    }
    setenv("VARNEL_CHANNEL_TAG", std::string(65, 'a').c_str(), 1);
    EXPECT_EQ(platform::ScopedName("n"), "n" + user) << "too long for a name";
    setenv("VARNEL_CHANNEL_TAG", saved.c_str(), 1);
}

} // namespace
