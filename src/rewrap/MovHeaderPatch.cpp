#include "MovHeaderPatch.h"

#include "ImportError.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <string>

namespace qzrewrap {

namespace {

constexpr uint32_t Type(const char (&name)[5]) {
    return uint32_t(uint8_t(name[0])) << 24 | uint32_t(uint8_t(name[1])) << 16 |
           uint32_t(uint8_t(name[2])) << 8 | uint32_t(uint8_t(name[3]));
}

uint64_t ReadBE(const std::vector<uint8_t>& bytes, size_t at, size_t length) {
    uint64_t value = 0;
    for (size_t i = 0; i < length; ++i) value = value << 8 | bytes[at + i];
    return value;
}

struct Atom {
    size_t offset = 0;  // of its size field
    size_t size = 0;    // header included
    size_t header = 8;
    size_t Body() const { return offset + header; }
    size_t End() const { return offset + size; }
};

// `task`: what cannot be done to the header.
[[noreturn]] void Unexpected(const std::string& what,
                             const char* task = "its first picture's composition offset cannot be set") {
    throw qzimport::ImportError("the movie header libavformat wrote is not as expected (" + what + "); " +
                                task);
}

// The first atom of type `type` among those in [from, end).
std::optional<Atom> Find(const std::vector<uint8_t>& bytes, size_t from, size_t end, uint32_t type) {
    for (size_t at = from; at + 8 <= end;) {
        Atom atom{at, static_cast<size_t>(ReadBE(bytes, at, 4)), 8};
        if (atom.size == 1) {
            if (at + 16 > end) Unexpected("a 64-bit atom size past the end");
            atom.size = static_cast<size_t>(ReadBE(bytes, at + 8, 8));
            atom.header = 16;
        } else if (atom.size == 0) {
            atom.size = end - at;
        }
        if (atom.size < atom.header || atom.size > end - at) Unexpected("an atom size out of its parent");
        if (ReadBE(bytes, at + 4, 4) == type) return atom;
        at = atom.End();
    }
    return std::nullopt;
}

Atom Need(const std::vector<uint8_t>& bytes, const Atom& parent, const char (&name)[5]) {
    const std::optional<Atom> child = Find(bytes, parent.Body(), parent.End(), Type(name));
    if (!child) Unexpected(std::string("no '") + name + "' atom");
    return *child;
}

// The media of the first track whose handler is 'vide'.
Atom PictureMedia(const std::vector<uint8_t>& bytes, const Atom& moov) {
    for (size_t at = moov.Body(); at < moov.End();) {
        const std::optional<Atom> trak = Find(bytes, at, moov.End(), Type("trak"));
        if (!trak) break;
        const Atom mdia = Need(bytes, *trak, "mdia");
        const Atom hdlr = Need(bytes, mdia, "hdlr");
        if (hdlr.size >= hdlr.header + 12 && ReadBE(bytes, hdlr.Body() + 8, 4) == Type("vide")) return mdia;
        at = trak->End();
    }
    Unexpected("no picture track");
}

}  // namespace

HeaderPatch SetFirstCompositionOffset(std::vector<uint8_t>& movie, int64_t written, int64_t actual) {
    const std::optional<Atom> moov = Find(movie, 0, movie.size(), Type("moov"));
    if (!moov || moov->offset != 0) Unexpected("no movie header at its start");
    const Atom ctts =
        Need(movie, Need(movie, Need(movie, PictureMedia(movie, *moov), "minf"), "stbl"), "ctts");
    // version and flags, entry count, then (sample count, offset) pairs.
    const size_t entry = ctts.Body() + 8;
    if (ctts.size < ctts.header + 16 || ReadBE(movie, ctts.Body() + 4, 4) == 0)
        Unexpected("no composition offsets");
    if (static_cast<int64_t>(static_cast<int32_t>(ReadBE(movie, entry + 4, 4))) != written)
        Unexpected("a first composition offset other than the one written");
    if (ReadBE(movie, entry, 4) != 1) Unexpected("the first sample's offset entry covers more samples");
    if (actual < 0 || actual > INT32_MAX) Unexpected("a composition offset out of range");
    for (size_t i = 0; i < 4; ++i)
        movie[entry + 4 + i] = static_cast<uint8_t>(uint64_t(actual) >> (24 - 8 * i));
    return {entry + 4, 4};
}

HeaderPatch ClearAlternateGroups(std::vector<uint8_t>& movie) {
    constexpr const char* kTask = "its tracks cannot be set to play together";
    const std::optional<Atom> moov = Find(movie, 0, movie.size(), Type("moov"));
    if (!moov || moov->offset != 0) Unexpected("no movie header at its start", kTask);
    size_t first = movie.size(), end = 0;
    for (size_t at = moov->Body(); at < moov->End();) {
        const std::optional<Atom> trak = Find(movie, at, moov->End(), Type("trak"));
        if (!trak) break;
        const std::optional<Atom> tkhd = Find(movie, trak->Body(), trak->End(), Type("tkhd"));
        if (!tkhd) Unexpected("a track without its 'tkhd' header", kTask);
        // Version and flags; the times, track ID, reserved and duration (32
        // or 64 bits by version); 8 reserved bytes and the layer: then the
        // 16-bit alternate group.
        if (tkhd->size < tkhd->header + 4) Unexpected("a track header too short", kTask);
        const size_t group = tkhd->Body() + (movie[tkhd->Body()] == 1 ? 46 : 34);
        if (group + 2 > tkhd->End()) Unexpected("a track header too short", kTask);
        if (movie[group] != 0 || movie[group + 1] != 0) {
            movie[group] = movie[group + 1] = 0;
            first = std::min(first, group);
            end = std::max(end, group + 2);
        }
        at = trak->End();
    }
    return end == 0 ? HeaderPatch{0, 0} : HeaderPatch{first, end - first};
}

bool AddFieldAtom(std::vector<uint8_t>& movie, uint8_t fields, uint8_t detail) {
    constexpr const char* kTask = "its field order cannot be said";
    const std::optional<Atom> moov = Find(movie, 0, movie.size(), Type("moov"));
    if (!moov || moov->offset != 0) Unexpected("no movie header at its start", kTask);
    std::optional<Atom> trak;
    for (size_t at = moov->Body(); at < moov->End(); at = trak->End()) {
        trak = Find(movie, at, moov->End(), Type("trak"));
        if (!trak) Unexpected("no picture track", kTask);
        const Atom mdia = Need(movie, *trak, "mdia"), hdlr = Need(movie, mdia, "hdlr");
        if (hdlr.size >= hdlr.header + 12 && ReadBE(movie, hdlr.Body() + 8, 4) == Type("vide")) break;
    }
    const Atom mdia = Need(movie, *trak, "mdia"), minf = Need(movie, mdia, "minf"),
               stbl = Need(movie, minf, "stbl"), stsd = Need(movie, stbl, "stsd");
    // Version, flags and entry count, then the first sample description:
    // its 78 bytes of picture fields after its 8-byte header, then its atoms.
    if (stsd.size < stsd.header + 8 + 8 + 78) Unexpected("a picture sample description too short", kTask);
    const size_t entryAt = stsd.Body() + 8;
    const Atom entry{entryAt, static_cast<size_t>(ReadBE(movie, entryAt, 4)), 8};
    if (entry.size < 8 + 78 || entry.size > stsd.End() - entryAt)
        Unexpected("a picture sample description out of its list", kTask);
    // The new atom goes after the description's atoms, before the 32-bit
    // zero that ends them when the writer puts one (as it does for DNxHR).
    size_t insertAt = entry.Body() + 78;
    while (insertAt + 8 <= entry.End()) {
        const size_t size = static_cast<size_t>(ReadBE(movie, insertAt, 4));
        if (size == 0) break;
        if (size < 8 || size > entry.End() - insertAt) Unexpected("an atom size out of its parent", kTask);
        if (ReadBE(movie, insertAt + 4, 4) == Type("fiel")) return false;
        insertAt += size;
    }
    for (const Atom& holder : {*moov, *trak, mdia, minf, stbl, stsd, entry}) {
        if (holder.header != 8) Unexpected("a 64-bit atom size", kTask);
        const uint64_t size = holder.size + 10;
        if (size > UINT32_MAX) Unexpected("an atom too large", kTask);
        for (size_t i = 0; i < 4; ++i) movie[holder.offset + i] = static_cast<uint8_t>(size >> (24 - 8 * i));
    }
    const uint8_t fiel[10] = {0, 0, 0, 10, 'f', 'i', 'e', 'l', fields, detail};
    movie.insert(movie.begin() + static_cast<std::ptrdiff_t>(insertAt), fiel, fiel + sizeof fiel);
    return true;
}

}  // namespace qzrewrap
