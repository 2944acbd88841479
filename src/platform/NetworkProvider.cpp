#include "platform/NetworkProvider.h"

namespace kestrola::platform {

std::size_t EnumeratedSize(const NetResource& r) {
    // The record's four 32-bit fields and four pointers, then each text that is not empty.
    std::size_t size = 32;
    for (const std::string* text : {&r.localName, &r.remoteName, &r.comment, &r.provider}) {
        if (!text->empty())
            size += text->size() + 1;
    }
    return size;
}

namespace {

// The entries of one container, handed out in the order and the portions the caller's
// buffer allows.
class VectorEnumeration : public ResourceEnumeration {
public:
    explicit VectorEnumeration(std::vector<NetResource> entries) : m_entries(std::move(entries)) {}

    std::uint32_t EnumResource(std::uint32_t& count, std::size_t& bufferSize,
                               std::vector<NetResource>& entries) override {
        const std::uint32_t wanted = count;
        count = 0;
        entries.clear();
        if (m_next >= m_entries.size())
            return kNetErrorNoMoreItems;
        std::size_t used = 0;
        while (m_next < m_entries.size() && count < wanted) {
            const std::size_t size = EnumeratedSize(m_entries[m_next]);
            if (used + size > bufferSize)
                break;
            used += size;
            entries.push_back(m_entries[m_next++]);
            ++count;
        }
        if (count == 0) {
            bufferSize = EnumeratedSize(m_entries[m_next]);
            return kNetErrorMoreData;
        }
        return kNetNoError;
    }

private:
    std::vector<NetResource> m_entries;
    std::size_t m_next = 0;
};

} // namespace

std::unique_ptr<ResourceEnumeration> ListEnumeration(std::vector<NetResource> entries) {
    return std::make_unique<VectorEnumeration>(std::move(entries));
}

} // namespace kestrola::platform
