// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

// The outcome of an operation that can fail: its value, or the error that says why there
// is none. The store, the mirroring's transports and its engine all answer with it, so a
// caller reads every failure the same way and cannot take a failure for an empty value.
// It is the part of C++23's std::expected the code needs, under the same member names,
// so that moving to the standard one is a change of this header only.
template <typename E> class Unexpected
{
public:
    explicit Unexpected(E error) : m_error(std::move(error)) {}

    const E &error() const & { return m_error; }
    E &&error() && { return std::move(m_error); }

private:
    E m_error;
};

template <typename E> Unexpected(E) -> Unexpected<E>;

template <typename T, typename E> class [[nodiscard]] Expected
{
public:
    using value_type = T;
    using error_type = E;

    Expected() requires std::is_default_constructible_v<T> : m_state(std::in_place_index<0>) {}
    Expected(const T &value) : m_state(std::in_place_index<0>, value) {}
    Expected(T &&value) : m_state(std::in_place_index<0>, std::move(value)) {}
    template <typename G>
    Expected(const Unexpected<G> &failure) : m_state(std::in_place_index<1>, failure.error())
    {
    }
    template <typename G>
    Expected(Unexpected<G> &&failure) : m_state(std::in_place_index<1>, std::move(failure).error())
    {
    }

    bool has_value() const { return m_state.index() == 0; }
    explicit operator bool() const { return has_value(); }

    // Only with a value.
    const T &value() const & { return std::get<0>(m_state); }
    T &value() & { return std::get<0>(m_state); }
    T &&value() && { return std::get<0>(std::move(m_state)); }
    const T &operator*() const & { return value(); }
    T &operator*() & { return value(); }
    T &&operator*() && { return std::move(*this).value(); }
    const T *operator->() const { return &value(); }
    T *operator->() { return &value(); }

    // Only without one.
    const E &error() const & { return std::get<1>(m_state); }

    template <typename U> T value_or(U &&fallback) const &
    {
        return has_value() ? value() : static_cast<T>(std::forward<U>(fallback));
    }
    template <typename U> T value_or(U &&fallback) &&
    {
        return has_value() ? std::move(*this).value() : static_cast<T>(std::forward<U>(fallback));
    }

    // The next step, run on the value; a failure passes through unchanged.
    template <typename F> auto and_then(F &&next) const &
    {
        using Next = std::remove_cvref_t<std::invoke_result_t<F, const T &>>;
        if (has_value())
            return std::invoke(std::forward<F>(next), value());
        return Next(Unexpected(error()));
    }
    // The same value, or the failure told in another error type.
    template <typename F> auto transform_error(F &&translate) const &
    {
        using Translated = Expected<T, std::remove_cvref_t<std::invoke_result_t<F, const E &>>>;
        if (has_value())
            return Translated(value());
        return Translated(Unexpected(std::invoke(std::forward<F>(translate), error())));
    }
    template <typename F> auto transform_error(F &&translate) &&
    {
        using Translated = Expected<T, std::remove_cvref_t<std::invoke_result_t<F, const E &>>>;
        if (has_value())
            return Translated(std::move(*this).value());
        return Translated(Unexpected(std::invoke(std::forward<F>(translate), error())));
    }

    // As std::expected: equal to a value only when holding that value.
    template <typename U> friend bool operator==(const Expected &result, const U &value)
    {
        return result.has_value() && result.value() == value;
    }

private:
    std::variant<T, E> m_state;
};

// An operation that gives nothing back but may fail.
template <typename E> class [[nodiscard]] Expected<void, E>
{
public:
    using value_type = void;
    using error_type = E;

    Expected() = default;
    template <typename G> Expected(const Unexpected<G> &failure) : m_error(failure.error()) {}
    template <typename G> Expected(Unexpected<G> &&failure) : m_error(std::move(failure).error()) {}

    bool has_value() const { return !m_error.has_value(); }
    explicit operator bool() const { return has_value(); }

    // Only on failure.
    const E &error() const & { return *m_error; }

    template <typename F> auto and_then(F &&next) const &
    {
        using Next = std::remove_cvref_t<std::invoke_result_t<F>>;
        if (has_value())
            return std::invoke(std::forward<F>(next));
        return Next(Unexpected(error()));
    }
    template <typename F> auto transform_error(F &&translate) const &
    {
        using Translated = Expected<void, std::remove_cvref_t<std::invoke_result_t<F, const E &>>>;
        if (has_value())
            return Translated();
        return Translated(Unexpected(std::invoke(std::forward<F>(translate), error())));
    }

private:
    std::optional<E> m_error;
};
