#pragma once
// The program's error type: raised for unexpected failures and shown by the
// window procedure that catches it in the application error box.
#include <exception>
#include <stdexcept>
#include <string>

namespace kx {

// Message is 8-bit text in the system's ANSI code page (it may quote raw
// clipboard bytes); the GUI widens it when it shows the box.
class AppError : public std::runtime_error {
public:
    explicit AppError(const std::string& message) : std::runtime_error(message) {}
};

// Text of the application error box: a full stop is added when the message is
// not empty and its last character sorts after '.'.
inline std::string WithClosingFullStop(std::string message)
{
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        message.push_back('.');
    return message;
}

// Runs `step` and hands back what it threw instead of throwing, so that the
// caller can finish what must be done either way before it rethrows
// (RethrowIfAny).
template <class Step>
std::exception_ptr CaughtFrom(Step&& step)
{
    try {
        step();
    } catch (...) {
        return std::current_exception();
    }
    return nullptr;
}

inline void RethrowIfAny(const std::exception_ptr& error)
{
    if (error)
        std::rethrow_exception(error);
}

} // namespace kx
