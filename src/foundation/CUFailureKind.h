#pragma once
// What kind of failure stopped a host-side operation (an import, an export,
// an offload, a report, a catalog question), so that a caller can act on it
// without reading the sentence. The kinds are not numbers: the command layer
// keeps the one table from kind to exit code. A kind for "the catalog could
// not be updated" belongs here when the catalog needs one.
namespace ComVantoVantoQZ64RADPlug {

enum class CUFailureKind {
    kSetup,        // the plug-in bundle, a destination, a catalog or an output cannot be set up or used
    kNotACard,     // a folder that is not a card
    kNoSuchClip,   // a clip the card does not have
    kProblems,     // problems found, or not everything delivered, copied or verified
    kBusy,         // another process works in the output folder or the copy
    kUsage,        // an argument that is refused
    kInterrupted,  // a signal stopped it (the failure carries the signal)
};

}  // namespace ComVantoVantoQZ64RADPlug
