// Placeholder until the key dispatch is built.
#include "console/key_dispatch.h"

namespace varlo {

PassFlow KeyDispatch(Context&) {
    return PassFlow::Continue;
}

}  // namespace varlo
