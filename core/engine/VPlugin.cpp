#include "engine/VPlugin.h"

VPlugin::~VPlugin() = default;

void VPlugin::deleteThis() {
    delete this;
}
