// A result or the reason there is none: what every host step returns instead
// of throwing across the steps of a command.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace k729::host {

struct Error {
    std::string message;
};

template <class T> class [[nodiscard]] ErrorOr {
public:
    ErrorOr(T value) : state_(std::move(value)) {}
    ErrorOr(Error error) : state_(std::move(error)) {}

    bool isError() const { return std::holds_alternative<Error>(state_); }
    const Error& error() const { return std::get<Error>(state_); }
    T& value() { return std::get<T>(state_); }
    const T& value() const { return std::get<T>(state_); }
    T release() { return std::move(std::get<T>(state_)); }

private:
    std::variant<T, Error> state_;
};

template <> class [[nodiscard]] ErrorOr<void> {
public:
    ErrorOr() = default;
    ErrorOr(Error error) : error_(std::move(error)) {}

    bool isError() const { return error_.has_value(); }
    const Error& error() const { return *error_; }

private:
    std::optional<Error> error_;
};

} // namespace k729::host
