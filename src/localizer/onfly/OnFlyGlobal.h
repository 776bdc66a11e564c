// The program's one localizer. It is created on first use, after (and by way of) the one
// TKLocUtils instance, and freed at program end before it; programs that translate
// themselves call OnFlyLocalizer() early in start-up.
#pragma once

#include "localizer/onfly/LocOnFly.h"

namespace onfly {

TKLocalizerOnFly& OnFlyLocalizer();

}  // namespace onfly
