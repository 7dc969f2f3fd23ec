#include "model/VAction.h"

VAction::~VAction() = default;
