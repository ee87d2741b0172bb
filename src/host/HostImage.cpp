#include "HostImage.h"

#include <sys/stat.h>

#include <algorithm>
#include <fstream>

namespace ComVantoVantoQZ64RADPlug {

namespace {

constexpr uint32_t kImageInvalid = 0x10001;
constexpr uint32_t kMaxSide = 16384;
constexpr uint64_t kMaxFileBytes = 64u << 20;

// A cursor over a PPM file's header fields: white space and # comments
// separate unsigned decimal numbers.
class PpmReader {
public:
    explicit PpmReader(const std::string& bytes) : m_bytes(bytes) {}

    bool Number(uint32_t& value) {
        SkipSpace();
        size_t digits = 0;
        uint64_t number = 0;
        while (m_at < m_bytes.size() && m_bytes[m_at] >= '0' && m_bytes[m_at] <= '9') {
            number = number * 10 + static_cast<uint64_t>(m_bytes[m_at++] - '0');
            if (number > 0xFFFFFFFFu) return false;
            ++digits;
        }
        value = static_cast<uint32_t>(number);
        return digits > 0;
    }
    // P6: exactly one white-space byte ends the header.
    bool EndHeader() {
        if (m_at >= m_bytes.size() || !IsSpace(m_bytes[m_at])) return false;
        ++m_at;
        return true;
    }
    size_t Offset() const { return m_at; }

private:
    static bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
    void SkipSpace() {
        while (m_at < m_bytes.size()) {
            if (IsSpace(m_bytes[m_at])) {
                ++m_at;
            } else if (m_bytes[m_at] == '#') {
                while (m_at < m_bytes.size() && m_bytes[m_at] != '\n') ++m_at;
            } else {
                break;
            }
        }
    }
    const std::string& m_bytes;
    size_t m_at = 2;  // after the magic number
};

}  // namespace

// Pixels that do not fill the stated size exactly would make every reader of
// rgba() overrun or misplace rows: such an image is empty (0 x 0) instead.
HostImage::HostImage(uint32_t width, uint32_t height, std::vector<uint8_t> rgba)
    : m_width(width), m_height(height), m_rgba(std::move(rgba)) {
    if (m_rgba.size() != static_cast<uint64_t>(width) * height * 4) {
        m_width = 0;
        m_height = 0;
        m_rgba.clear();
    }
}

std::shared_ptr<HostImage> HostImage::Blank(uint32_t width, uint32_t height) {
    width = std::min(width, kMaxSide);
    height = std::min(height, kMaxSide);
    return std::make_shared<HostImage>(width, height, std::vector<uint8_t>(size_t{width} * height * 4, 0));
}

bool HostImage::isBlank() const {
    for (size_t i = 3; i < m_rgba.size(); i += 4)
        if (m_rgba[i] != 0) return false;
    return true;
}

std::shared_ptr<HostImage> HostImage::ImageWithContentsOfFile(const std::string& path, CUFailure* why) {
    auto fail = [&](const std::string& what) {
        if (why) *why = CUFailure(kImageInvalid, what, path);
        return std::shared_ptr<HostImage>();
    };
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return fail("image file is missing");
    if (static_cast<uint64_t>(info.st_size) > kMaxFileBytes) return fail("image file is larger than 64 MiB");
    std::ifstream file(path, std::ios::binary);
    std::string bytes(static_cast<size_t>(info.st_size), '\0');
    if (!file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) return fail("image file cannot be read");

    if (bytes.size() < 2 || bytes[0] != 'P' || (bytes[1] != '3' && bytes[1] != '6'))
        return fail("not a PPM image (P3 or P6)");
    const bool binary = bytes[1] == '6';
    PpmReader reader(bytes);
    uint32_t width = 0, height = 0, maxValue = 0;
    if (!reader.Number(width) || !reader.Number(height) || !reader.Number(maxValue))
        return fail("PPM header is incomplete");
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide)
        return fail("PPM size " + std::to_string(width) + " x " + std::to_string(height) + " is out of range");
    if (maxValue == 0 || maxValue > 255) return fail("PPM maximum value must be 1 to 255");

    const uint64_t samples = uint64_t{width} * height * 3;
    std::vector<uint8_t> rgb;
    if (binary) {
        if (!reader.EndHeader() || bytes.size() - reader.Offset() < samples)
            return fail("PPM pixels are truncated");
        rgb.assign(bytes.begin() + static_cast<std::ptrdiff_t>(reader.Offset()),
                   bytes.begin() + static_cast<std::ptrdiff_t>(reader.Offset() + samples));
    } else {
        // Each text sample takes at least two bytes: refuse a size the file cannot hold before allocating.
        if ((bytes.size() - reader.Offset()) / 2 + 1 < samples) return fail("PPM pixels are truncated");
        rgb.reserve(samples);
        uint32_t value = 0;
        for (uint64_t i = 0; i < samples; ++i) {
            if (!reader.Number(value)) return fail("PPM pixels are truncated");
            rgb.push_back(static_cast<uint8_t>(value));
        }
    }
    std::vector<uint8_t> rgba(static_cast<size_t>(samples / 3 * 4));
    for (size_t pixel = 0; pixel < samples / 3; ++pixel) {
        for (size_t c = 0; c < 3; ++c) {
            const uint32_t value = std::min<uint32_t>(rgb[pixel * 3 + c], maxValue);
            rgba[pixel * 4 + c] = static_cast<uint8_t>(value * 255 / maxValue);
        }
        rgba[pixel * 4 + 3] = 255;
    }
    return std::make_shared<HostImage>(width, height, std::move(rgba));
}

}  // namespace ComVantoVantoQZ64RADPlug
