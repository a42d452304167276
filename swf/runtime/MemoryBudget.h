#pragma once

// How much memory a movie's scripts may hold. Counting every byte as it is
// freed would cost on every string and object; instead the places that make
// something (a joined string, a new object or clip, pixels) add what they made
// to a running sum, and only when that sum passes the limit does the owner
// count what is really held (`recount`). Garbage freed since the last count
// then drops out, so a script that builds and drops strings in a loop is
// never stopped, while one that keeps what it makes is stopped at the limit.

#include <cstddef>
#include <cstdint>

namespace swf {

class MemoryBudget {
public:
    static constexpr std::uint64_t DefaultLimit = std::uint64_t(512) * 1024 * 1024;

    explicit MemoryBudget(std::uint64_t limit = DefaultLimit) : m_limit(limit) { }

    std::uint64_t limit() const { return m_limit; }
    void setLimit(std::uint64_t limit) { m_limit = limit; }

    // Something was made (or is about to be): `bytes` more in use.
    void charge(std::size_t bytes) { m_sinceCount += bytes; }
    // The estimate passed the limit: time to count what is really held.
    bool needsRecount() const { return m_counted + m_sinceCount > m_limit; }
    // What a count found in use; `pending` is what the caller is about to
    // make on top of it. True while that fits in the limit.
    bool recount(std::uint64_t inUse, std::size_t pending = 0)
    {
        m_counted = inUse;
        m_sinceCount = pending;
        ++m_recounts;
        m_over = m_counted + m_sinceCount > m_limit;
        return !m_over;
    }
    // `pending` bytes charged were refused and never made: they leave the
    // estimate, so that once a script asking for too much is stopped, the
    // next one runs as long as what is really held fits.
    void refuse(std::uint64_t pending)
    {
        m_sinceCount -= pending < m_sinceCount ? pending : m_sinceCount;
        m_over = m_counted + m_sinceCount > m_limit;
    }
    // The last count found the limit passed.
    bool overAtLastCount() const { return m_over; }
    std::uint64_t chargedSinceCount() const { return m_sinceCount; }
    // The last count and what was charged after it: the estimate in use.
    std::uint64_t estimate() const { return m_counted + m_sinceCount; }
    int recounts() const { return m_recounts; }

private:
    std::uint64_t m_limit;
    std::uint64_t m_counted = 0;    // bytes found in use at the last count
    std::uint64_t m_sinceCount = 0; // bytes charged after it
    int m_recounts = 0;
    bool m_over = false;
};

} // namespace swf
