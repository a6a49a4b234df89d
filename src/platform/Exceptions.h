// Errors the platform raises. Messages are Shift-JIS, like every text.
#pragma once

#include <stdexcept>
#include <string>

namespace platform {

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

class ERegistryException : public Exception {
public:
    using Exception::Exception;
};

}  // namespace platform
