#include "MediumIdentity.h"

#include "CardDescription.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

namespace {

uint64_t Mix(uint64_t x) {
    // splitmix64 finaliser: spreads every input bit over the whole word.
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

std::atomic<uint64_t> g_calls{0};

}  // namespace

Uuid NumberedMedium(uint16_t number) {
    Uuid medium = CardDescription().mediaUuid;
    medium[14] = static_cast<uint8_t>(number >> 8);
    medium[15] = static_cast<uint8_t>(number);
    return medium;
}

Uuid FreshMedium() {
    std::random_device device;
    const auto now = static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    const uint64_t count = ++g_calls;
    Uuid medium{};
    for (size_t half = 0; half < 2; ++half) {
        const uint64_t random = (uint64_t{device()} << 32) ^ device();
        const uint64_t bits = random ^ Mix(now + 2 * count + half);
        for (size_t i = 0; i < 8; ++i) medium[half * 8 + i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
    }
    medium[6] = static_cast<uint8_t>((medium[6] & 0x0F) | 0x40);  // version 4
    medium[8] = static_cast<uint8_t>((medium[8] & 0x3F) | 0x80);  // RFC 4122 variant
    return medium;
}

Uuid MediumOfSetCard(const Uuid& medium, size_t index) {
    Uuid card = medium;
    card[13] = static_cast<uint8_t>(medium[13] ^ medium[14]);
    card[14] = static_cast<uint8_t>(index + 1);
    return card;
}

std::string MediumText(const Uuid& medium) {
    std::string text;
    for (size_t i = 0; i < medium.size(); ++i) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", medium[i]);
        text += hex;
        if (i == 3 || i == 5 || i == 7 || i == 9) text += '-';
    }
    return text;
}

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter
