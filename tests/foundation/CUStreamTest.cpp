#include "CUFailure.h"
#include "CUMemoryStream.h"
#include "CUStream.h"

#include <gtest/gtest.h>

#include "FoundationTestSupport.h"

#include <cstdint>
#include <numeric>
#include <vector>

using namespace ComVantoVantoQZ64RADPlug;
using namespace foundation_test;

namespace {

std::vector<unsigned char> Ramp(size_t n) {
    std::vector<unsigned char> v(n);
    std::iota(v.begin(), v.end(), 0);
    return v;
}

// A readable stream whose Read delivers half of what it is asked for and
// counts its calls.
class ShortReadingStream : public CUStream {
public:
    explicit ShortReadingStream(uint64_t length) {
        m_Length = length;
        m_ReadableRange = _CURange{0, length};
    }
    bool CanRead() const override { return true; }
    uint64_t Read(unsigned char* buffer, uint64_t size, int64_t offset,
                  CUStream_Seek_Origin origin) override {
        ++reads;
        const _CURange r = CalcReadRange(size, offset, origin);
        for (uint64_t i = 0; i < r.length / 2; ++i) buffer[i] = static_cast<unsigned char>(r.location + i);
        return r.length / 2;
    }
    int reads = 0;
};

}  // namespace

TEST(CUStreamTest, BaseStreamSupportsNothing) {
    CUStream s;
    unsigned char b[4];
    EXPECT_FALSE(s.CanRead() || s.CanWrite() || s.CanSeek());
    EXPECT_EQ(ThrownBy([&] { s.Read(b, 4, 0, kCUStreamSeekBegin); }), 5u);
    EXPECT_EQ(ThrownBy([&] { s.Write(b, 4, 0, kCUStreamSeekBegin); }), 5u);
    EXPECT_EQ(ThrownBy([&] { s.Seek(0, kCUStreamSeekBegin); }), 5u);
    EXPECT_EQ(s.SetReadaleRange(_CURange{0, 0}), 0x10001u);  // cannot read
    EXPECT_EQ(s.WriteCFData(nullptr, 0, kCUStreamSeekBegin), 0u);
}

TEST(CUStreamTest, ReadsAreClampedToTheReadableRange) {
    std::vector<unsigned char> data = Ramp(100);
    CUMemoryStream s(data.data(), data.size(), true);
    ASSERT_EQ(s.SetReadaleRange(_CURange{10, 20}), 0u);  // bytes 10..29
    unsigned char b[100] = {};

    EXPECT_EQ(s.Read(b, 50, 15, kCUStreamSeekBegin), 15u);  // runs past the end of the range
    EXPECT_EQ(b[0], 15);
    EXPECT_EQ(b[14], 29);
    EXPECT_EQ(s.Read(b, 5, 5, kCUStreamSeekBegin), 0u);   // before the range
    EXPECT_EQ(s.Read(b, 5, 9, kCUStreamSeekBegin), 0u);   // starts just before
    EXPECT_EQ(s.Read(b, 5, 30, kCUStreamSeekBegin), 0u);  // at its end
    EXPECT_EQ(s.Read(b, 5, 29, kCUStreamSeekBegin), 1u);
    EXPECT_EQ(b[0], 29);
    EXPECT_EQ(s.Read(b, 0, 12, kCUStreamSeekBegin), 0u);
    EXPECT_EQ(s.Read(b, 5, -1, kCUStreamSeekBegin), 0u);
    EXPECT_EQ(s.Read(b, 5, INT64_MAX, kCUStreamSeekBegin), 0u);
    EXPECT_EQ(s.Read(b, 5, -80, kCUStreamSeekEnd), 5u);  // 100 - 80 = 20
    EXPECT_EQ(b[0], 20);
    EXPECT_EQ(s.Read(b, 5, 12, kCUStreamSeekCurrent), 5u);  // position stays 0
    EXPECT_EQ(b[0], 12);
    EXPECT_EQ(s.Read(b, 5, 12, static_cast<CUStream_Seek_Origin>(7)), 0u);
    EXPECT_EQ(s.Read(nullptr, 5, 12, kCUStreamSeekBegin), 0u);
    EXPECT_EQ(s.Read(b, UINT64_MAX, 10, kCUStreamSeekBegin), 20u);

    const _CURange r = s.CalcReadRange(UINT64_MAX, 25, kCUStreamSeekBegin);
    EXPECT_EQ(r.location, 25u);
    EXPECT_EQ(r.length, 5u);

    s.ResetReadaleRange();
    EXPECT_EQ(s.Read(b, 100, 0, kCUStreamSeekBegin), 100u);
    EXPECT_EQ(b[99], 99);
}

TEST(CUStreamTest, SetReadableRangeRejectsRangesBeyondTheLength) {
    std::vector<unsigned char> data = Ramp(100);
    CUMemoryStream s(data.data(), data.size(), true);
    ASSERT_EQ(s.SetReadaleRange(_CURange{10, 20}), 0u);
    const struct {
        uint64_t location, length;
    } bad[] = {{90, 11}, {101, 0}, {0, 101}, {UINT64_MAX, 2}, {2, UINT64_MAX}, {UINT64_MAX, UINT64_MAX}};
    for (const auto& c : bad) {
        EXPECT_EQ(s.SetReadaleRange(_CURange{c.location, c.length}), 0x10001u)
            << c.location << "+" << c.length;
        const _CURange kept = s.GetReadableRange();
        EXPECT_EQ(kept.location, 10u);
        EXPECT_EQ(kept.length, 20u);
    }
    unsigned char b[4];
    EXPECT_EQ(s.Read(b, 4, 0, kCUStreamSeekBegin), 0u);  // the old range still applies
    EXPECT_EQ(s.SetReadaleRange(_CURange{90, 10}), 0u);
    EXPECT_EQ(s.SetReadaleRange(_CURange{100, 0}), 0u);
    EXPECT_EQ(s.Read(b, 4, 99, kCUStreamSeekBegin), 0u);
}

TEST(CUMemoryStreamTest, BorrowedCopiedAndEmptyMemory) {
    std::vector<unsigned char> data = Ramp(16);
    CUMemoryStream borrowed(data.data(), data.size(), true);
    EXPECT_EQ(borrowed.GetPtr(), data.data());
    CUMemoryStream copied(data.data(), data.size(), false);
    EXPECT_NE(copied.GetPtr(), data.data());
    data[3] = 0xEE;
    unsigned char b[16];
    ASSERT_EQ(copied.Read(b, 16, 0, kCUStreamSeekBegin), 16u);
    EXPECT_EQ(b[3], 3);
    ASSERT_EQ(borrowed.Read(b, 16, 0, kCUStreamSeekBegin), 16u);
    EXPECT_EQ(b[3], 0xEE);

    CUMemoryStream empty(nullptr, 10, false);
    EXPECT_FALSE(empty.CanRead());
    EXPECT_EQ(empty.Length(), 0u);
    EXPECT_EQ(empty.Read(b, 4, 0, kCUStreamSeekBegin), 0u);
}

TEST(CUMemoryStreamTest, CopiesARangeOfAnotherStream) {
    std::vector<unsigned char> data = Ramp(100);
    CUSharedPtr<CUStream> source(new CUMemoryStream(data.data(), data.size(), true));
    CUSharedPtr<CUMemoryStream> part = CUMemoryStream::CreateMemoryStreamPtr(source, _CURange{40, 60});
    ASSERT_TRUE(part);
    EXPECT_EQ(part->Length(), 60u);
    EXPECT_EQ(part->GetPtr()[0], 40);
    EXPECT_EQ(part->GetPtr()[59], 99);
    unsigned char b[10];
    EXPECT_EQ(part->Read(b, 10, 55, kCUStreamSeekBegin), 5u);

    CUMemoryStream* raw = CUMemoryStream::CreateMemoryStream(source.get(), _CURange{0, 1});
    ASSERT_NE(raw, nullptr);
    CUSharedPtr<CUMemoryStream> wrapped(raw);
    EXPECT_EQ(wrapped->GetPtr()[0], 0);
}

TEST(CUMemoryStreamTest, RefusesRangesTheSourceCannotFillBeforeAllocating) {
    std::vector<unsigned char> data = Ramp(100);
    CUMemoryStream source(data.data(), data.size(), true);
    // Ranges outside the source, including lengths no allocator could give
    // and sums that wrap: refused with 1, not with an allocation failure.
    const _CURange bad[] = {{40, 61},
                            {100, 1},
                            {0, UINT64_MAX},
                            {1, UINT64_MAX},
                            {UINT64_MAX - 1, 2},
                            {UINT64_MAX, 1},
                            {0, uint64_t{1} << 62},
                            {50, 0}};
    for (const _CURange& r : bad) {
        EXPECT_EQ(ThrownBy([&] { CUMemoryStream m(&source, r); }), 1u) << r.location << "+" << r.length;
        EXPECT_FALSE(CUMemoryStream::CreateMemoryStreamPtr(&source, r));
    }
    // A narrowed readable range narrows what may be copied.
    ASSERT_EQ(source.SetReadaleRange(_CURange{10, 10}), 0u);
    EXPECT_FALSE(CUMemoryStream::CreateMemoryStreamPtr(&source, _CURange{5, 10}));
    EXPECT_FALSE(CUMemoryStream::CreateMemoryStreamPtr(&source, _CURange{15, 10}));
    EXPECT_TRUE(CUMemoryStream::CreateMemoryStreamPtr(&source, _CURange{10, 10}));

    EXPECT_EQ(ThrownBy([&] { CUMemoryStream m(static_cast<CUStream*>(nullptr), _CURange{0, 1}); }), 1u);
    EXPECT_FALSE(CUMemoryStream::CreateMemoryStreamPtr(CUSharedPtr<CUStream>(), _CURange{0, 1}));
}

TEST(CUMemoryStreamTest, ShortSourceReadIsRefused) {
    ShortReadingStream source(100);
    EXPECT_FALSE(CUMemoryStream::CreateMemoryStreamPtr(&source, _CURange{0, 10}));
    EXPECT_EQ(source.reads, 1);
    // A huge length is refused without asking the source at all.
    EXPECT_FALSE(CUMemoryStream::CreateMemoryStreamPtr(&source, _CURange{0, uint64_t{1} << 40}));
    EXPECT_EQ(source.reads, 1);
}
