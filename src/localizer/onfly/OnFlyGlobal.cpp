#include "localizer/onfly/OnFlyGlobal.h"

namespace onfly {

TKLocalizerOnFly& OnFlyLocalizer() {
    // The utilities first, so that they outlive the localizer (statics end in reverse order).
    LocUtilsInstance();
    static TKLocalizerOnFly instance;
    return instance;
}

}  // namespace onfly
