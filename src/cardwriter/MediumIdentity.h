#pragma once
// The medium UUID a written card carries in its media index; the writer
// derives every clip's UMIDs from it, so it is the card's whole identity.
// A numbered medium is the same on every run, so that tests and golden
// outputs can pin a card; a fresh one is new on every call, so that cards
// written apart are different cards, as a camera's are. Thread safe.
#include "ClipDescription.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

// The writer's fixed UUID 515A4341-5244-4000-8000-00000000NNNN ending in
// `number` (big-endian in the last two bytes; 1 is the default card's).
Uuid NumberedMedium(uint16_t number);

// A random version 4 UUID: std::random_device's bits mixed with the clock
// and a count of calls, so that even a device that repeats itself gives
// every call a medium of its own.
Uuid FreshMedium();

// The medium of card `index` (0-based) of a set written together from one
// medium: byte 14 numbers the card (index + 1) and the byte it replaces is
// folded into byte 13, so that the cards of a set differ from each other
// and sets of different media differ too. Card 0 of NumberedMedium(1) is
// ...-000000000101, card 1 ...-000000000201.
Uuid MediumOfSetCard(const Uuid& medium, size_t index);

// "515A4341-5244-4000-8000-000000000001", as the readers print medium IDs.
std::string MediumText(const Uuid& medium);

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter
