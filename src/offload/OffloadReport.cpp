#include "OffloadReport.h"

namespace qzoffload {

bool OffloadReport::Complete() const {
    if (!cardFailure.empty() || interruptSignal != 0) return false;
    for (const DestinationReport& destination : destinations)
        if (!destination.failures.empty() || destination.files != cardFiles) return false;
    return true;
}

}  // namespace qzoffload
