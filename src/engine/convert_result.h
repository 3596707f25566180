// What a conversion step gives back: a value, or the error the user is shown (a message box's
// text and caption). Converters return it; only the driver shows it.
#pragma once

#include "engine/engine_namespace.h"
#include <string>
#include <utility>
#include <variant>

namespace kestrova::engine {

struct ConvertError {
    std::string text;
    std::string caption; // empty: the front end's own default caption
};

template <class T> class [[nodiscard]] Result {
public:
    Result(T value) : state(std::move(value)) {}
    Result(ConvertError error) : state(std::move(error)) {}

    bool Ok() const { return state.index() == 0; }
    explicit operator bool() const { return Ok(); }
    T& operator*() { return std::get<0>(state); }
    T* operator->() { return &std::get<0>(state); }
    const ConvertError& Error() const { return std::get<1>(state); }

private:
    std::variant<T, ConvertError> state;
};

// The result of a step that gives nothing back but may fail.
struct Done {};
using Status = Result<Done>;

} // namespace kestrova::engine
