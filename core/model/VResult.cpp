#include "model/VResult.h"

#include <stdexcept>

VResult::~VResult() = default;

VProperty* VResult::getDefaultProperty() const {
    if (properties.empty())
        throw std::invalid_argument("result has no properties");
    return properties.front();
}

VProperty* VResult::getProperty(int index) {
    if (index < 0 || index >= getPropertyCount())
        throw std::invalid_argument("property index out of range");
    return properties[static_cast<std::size_t>(index)];
}

const VProperty* VResult::getProperty(int index) const {
    return const_cast<VResult*>(this)->getProperty(index);
}

void VResult::copyFrom(const VResult& other) {
    VElement::copyFrom(other);
    for (int i = 0; i < other.getPropertyCount(); ++i)
        getProperty(i)->setPropertyValue(other.getProperty(i)->getValue());
}
