#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

#include "platform/object_names.h"

namespace {

// The user always follows the bare name; a tag only when it cannot make a path of it.
TEST(ObjectNames, CarryTheUserAndOnlyAPlainTag)
{
    const std::string bare = "/__FENNICK_SHARE_MAPPING_NAME__.u" + std::to_string(geteuid());
    const char* kept = std::getenv("VARNEL_CHANNEL_TAG");
    const std::string saved = kept ? kept : "";
    for (const auto& [tag, expected] : std::initializer_list<std::pair<std::string, std::string>>{
             {"", bare}, {"e2e-Run_7", bare + ".te2e-Run_7"}, {"../x", bare}, {"a b", bare}, {std::string(65, 'a'), bare}}) {
        setenv("VARNEL_CHANNEL_TAG", tag.c_str(), 1);
        EXPECT_EQ(platform::SystemObjectName("__FENNICK_SHARE_MAPPING_NAME__"), expected) << tag;
    }
    setenv("VARNEL_CHANNEL_TAG", saved.c_str(), 1);
}

} // namespace
