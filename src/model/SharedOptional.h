#pragma once

#include <cassert>
#include <memory>
#include <optional>
#include <utility>

namespace snipbrook {

// An optional value whose copies share one immutable copy until one of them is changed. Reads
// look like std::optional's; writing through operator* or operator-> of a non-const object
// first gives it a copy of its own when others share the value. A history holds several lists
// of the same items (the history, the views, the search mirror), so a copy of an item costs a
// pointer here instead of the whole value.
template <typename T>
class SharedOptional {
public:
    SharedOptional() = default;
    SharedOptional(std::nullopt_t) {}
    SharedOptional(const T &value) : m_value(std::make_shared<T>(value)) {}
    SharedOptional(T &&value) : m_value(std::make_shared<T>(std::move(value))) {}
    SharedOptional(const std::optional<T> &value)
    {
        if (value)
            m_value = std::make_shared<T>(*value);
    }

    SharedOptional(const SharedOptional &) = default;
    SharedOptional(SharedOptional &&) = default;
    SharedOptional &operator=(const SharedOptional &) = default;
    SharedOptional &operator=(SharedOptional &&) = default;

    SharedOptional &operator=(std::nullopt_t)
    {
        m_value.reset();
        return *this;
    }
    SharedOptional &operator=(const T &value) { return *this = SharedOptional(value); }
    SharedOptional &operator=(T &&value) { return *this = SharedOptional(std::move(value)); }

    bool has_value() const { return m_value != nullptr; }
    explicit operator bool() const { return has_value(); }

    const T &operator*() const
    {
        assert(m_value);
        return *m_value;
    }
    const T *operator->() const { return &**this; }
    T &operator*()
    {
        assert(m_value);
        detach();
        return *m_value;
    }
    T *operator->() { return &**this; }
    const T &value() const { return **this; }
    T &value() { return **this; }

    template <typename U>
    T value_or(U &&fallback) const
    {
        return m_value ? *m_value : static_cast<T>(std::forward<U>(fallback));
    }

    template <typename... Args>
    T &emplace(Args &&...args)
    {
        m_value = std::make_shared<T>(std::forward<Args>(args)...);
        return *m_value;
    }
    void reset() { m_value.reset(); }

    std::optional<T> toOptional() const { return m_value ? std::optional<T>(*m_value) : std::nullopt; }

    friend bool operator==(const SharedOptional &a, const SharedOptional &b)
    {
        if (a.m_value == b.m_value)
            return true;
        return a.m_value && b.m_value && *a.m_value == *b.m_value;
    }
    friend bool operator==(const SharedOptional &a, std::nullopt_t) { return !a.m_value; }

private:
    void detach()
    {
        // Only this object can see a value it holds alone, so no other thread can start sharing
        // it between the check and the write.
        if (m_value.use_count() > 1)
            m_value = std::make_shared<T>(*m_value);
    }

    std::shared_ptr<T> m_value;
};

} // namespace snipbrook
