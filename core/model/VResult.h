#pragma once
// A search result: an element with an ordered list of typed properties, the first being the default.
#include "model/VElement.h"
#include "model/VProperty.h"

#include <cstdint>
#include <vector>

class VX_CORE_API VResult : public VElement {
public:
    explicit VResult(VPlugin* plugin) : VElement(plugin) {}
    VResult(const VResult&) = default;
    VResult& operator=(const VResult&) = default;
    // Frees only the list: a result does not own its properties.
    ~VResult() override;

    ElementType getElementType() const override { return ResultElement; }
    // Opens what the result names; true on success.
    virtual bool select() = 0;
    // The first property; throws std::invalid_argument when there is none.
    virtual VProperty* getDefaultProperty() const;

    void addProperty(VProperty* property) { properties.push_back(property); }
    int getPropertyCount() const { return static_cast<int>(properties.size()); }
    // Throws std::invalid_argument for an index outside 0..count-1.
    VProperty* getProperty(int index);
    const VProperty* getProperty(int index) const;
    // Copies the icon and then the property values in order (types stay). Throws std::invalid_argument
    // at the first index this result lacks.
    void copyFrom(const VResult& other);

    // Where the ranker put the result (larger is better; see VSearchQuery::rankKey), set by the
    // indexer that found it. 0 when unranked.
    uint64_t getRankKey() const { return rankKey; }
    void setRankKey(uint64_t key) { rankKey = key; }

private:
    std::vector<VProperty*> properties;
    uint64_t rankKey = 0;
};
