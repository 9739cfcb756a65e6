// The one way the HWP library fails: a message a user can act on.
#pragma once

#include <stdexcept>
#include <string>

namespace hwp {

class HwpError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace hwp
