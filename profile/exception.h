// The root of every failure the program raises.
#pragma once

#include <memory>
#include <string>

namespace quenmoor::profile {

class Exception {
  public:
    explicit Exception(std::u16string message)
        : message_(std::make_shared<const std::u16string>(std::move(message))) {}
    Exception(const Exception&) noexcept = default;
    Exception& operator=(const Exception&) noexcept = default;
    Exception(Exception&&) noexcept = default;
    Exception& operator=(Exception&&) noexcept = default;
    virtual ~Exception() = default;

    [[nodiscard]] const std::u16string& Message() const noexcept { return *message_; }

  private:
    // Shared so that copying an exception while it is thrown can never fail.
    std::shared_ptr<const std::u16string> message_;
};

// Puts `argument` in place of the first "%s" of `pattern`.
std::u16string FormatMessage(std::u16string_view pattern, std::u16string_view argument);

}  // namespace quenmoor::profile
