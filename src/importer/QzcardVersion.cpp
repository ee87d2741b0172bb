#include "QzcardVersion.h"

namespace qzimport {

const char* QzcardVersion() {
    return QZCARD_VERSION;
}

}  // namespace qzimport
