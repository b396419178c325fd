// The root of every failure the program raises.
#pragma once

#include <exception>
#include <memory>
#include <string>

namespace quenmoor::profile {

// A standard exception, so that code catching std::exception sees ours too; the message is kept
// as UTF-16, the program's text, and what() gives it in UTF-8.
class Exception : public std::exception {
  public:
    explicit Exception(std::u16string message);

    [[nodiscard]] const std::u16string& Message() const noexcept { return text_->message; }
    [[nodiscard]] const char* what() const noexcept override { return text_->utf8.c_str(); }

  private:
    struct Text {
        std::u16string message;
        std::string utf8;
    };
    // Shared so that copying an exception while it is thrown can never fail.
    std::shared_ptr<const Text> text_;
};

}  // namespace quenmoor::profile
