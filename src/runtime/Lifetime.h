#pragma once

#include <memory>
#include <utility>

namespace dromel {

// Weak ownership for posted jobs. An owner keeps a Lifetime member; a job
// wrapped with guard() runs only while that owner still exists. Check and
// destruction must happen on the same thread (the owner's, usually main).
class Lifetime {
public:
    Lifetime() : m_alive(std::make_shared<char>()) {}
    Lifetime(const Lifetime &) = delete;
    Lifetime &operator=(const Lifetime &) = delete;

    std::weak_ptr<const void> weak() const { return m_alive; }

    template <typename Job> auto guard(Job job) const {
        return [alive = weak(), job = std::move(job)](auto &&...arguments) mutable {
            if (!alive.expired())
                job(std::forward<decltype(arguments)>(arguments)...);
        };
    }

private:
    std::shared_ptr<const void> m_alive;
};

} // namespace dromel
