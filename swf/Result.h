#pragma once

#include <QString>

#include <optional>
#include <utility>
#include <variant>

namespace swf {

// What kind of fault stopped a read. The shell turns the kind into a message
// for the user; the detail and offset are for developers and logs.
enum class ErrorKind {
    FileNotFound, // the path names nothing readable
    NotAMovie,    // the bytes do not start like a movie (nor a projector carrying one)
    Truncated,    // the data ends before a record it declares
    Corrupt,      // a record contradicts itself or its container
    Unsupported,  // a well-formed feature we do not handle
    TooLarge,     // a size beyond what we are willing to allocate
};

struct Error {
    ErrorKind kind = ErrorKind::Corrupt;
    QString detail;    // English, one line
    qint64 offset = -1; // byte offset in the (decompressed) movie where it happened, -1 if none

    static Error at(qint64 offset, QString detail, ErrorKind kind = ErrorKind::Corrupt)
    {
        return Error { kind, std::move(detail), offset };
    }
};

// Either a value or the error that prevented it. No exception crosses an engine API.
template<typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : m_data(std::in_place_index<0>, std::move(value)) { }
    Result(Error error) : m_data(std::in_place_index<1>, std::move(error)) { }

    bool ok() const { return m_data.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & { return std::get<0>(m_data); }
    const T& value() const& { return std::get<0>(m_data); }
    T&& value() && { return std::get<0>(std::move(m_data)); }
    T release() { return std::get<0>(std::move(m_data)); }

    const Error& error() const { return std::get<1>(m_data); }

private:
    std::variant<T, Error> m_data;
};

template<>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : m_error(std::move(error)) { }
    bool ok() const { return !m_error.has_value(); }
    explicit operator bool() const { return ok(); }
    const Error& error() const { return *m_error; }

private:
    std::optional<Error> m_error;
};

} // namespace swf

// Evaluates a Result-returning expression; on error returns the error from the
// enclosing function, otherwise yields the value.
#define SWF_TRY(expr)                               \
    ({                                              \
        auto _swf_result = (expr);                  \
        if (!_swf_result.ok())                      \
            return _swf_result.error();             \
        std::move(_swf_result).value();             \
    })

#define SWF_TRY_VOID(expr)                          \
    do {                                            \
        auto _swf_result = (expr);                  \
        if (!_swf_result.ok())                      \
            return _swf_result.error();             \
    } while (0)
