#include "CUArray.h"
#include "CUDictionary.h"
#include "CUMutableArray.h"
#include "CUMutableDictionary.h"
#include "CUNumber.h"
#include "CUSortDescriptor.h"
#include "CUStringMac.h"
#include "CUVector.h"

#include <gtest/gtest.h>

#include "FoundationTestSupport.h"

#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

using namespace ComVantoVantoQZ64RADPlug;
using namespace foundation_test;

namespace {

CUSharedPtr<CUObject> Num(int v) {
    return CUNumber::Create<int>(v);
}
// The array's numbers; -999 for an element that is no number.
std::vector<int> Ints(const CUSharedPtr<CUArray>& a) {
    std::vector<int> out;
    for (const CUSharedPtr<CUNumber> n : a->GetInternalArray()) out.push_back(n ? n->SInt32Value() : -999);
    return out;
}

// Ranks numbers by their value divided by 10, so 11 and 12 compare equal
// (stability is visible).
class TensDescriptor : public CUSortDescriptor {
public:
    using CUSortDescriptor::CUSortDescriptor;
    int32_t CompareObject(CUSharedPtr<CUObject> a, CUSharedPtr<CUObject> b) override {
        ++calls;
        CUSharedPtr<CUNumber> x = a, y = b;
        const int ta = x->SInt32Value() / 10, tb = y->SInt32Value() / 10;
        return ta < tb ? 1 : (ta > tb ? -1 : 0);
    }
    int calls = 0;
};

enum class _Test_Enum : unsigned char { kZero = 0, kSeven = 7 };
enum _Plain_Enum { kPlainMinus = -3 };

TEST(CUArray, AccessOutOfRangeAndDescription) {
    CUSharedPtr<CUMutableArray> a = CUMutableArray::Create();
    EXPECT_TRUE(a->LastObject().IsNull());
    a->AddObject(Num(5));
    a->AddObject(nullptr);
    a->AddObject(S("t\u00e9"));
    EXPECT_TRUE(a->ObjectAtIndex(1).IsNull());
    EXPECT_TRUE(a->ObjectAtIndex(3).IsNull());
    EXPECT_TRUE(a->ObjectAtIndex(static_cast<size_t>(-1)).IsNull());
    EXPECT_EQ(a->Description()->Utf8(), "{\n\t5\n\t<NULL>\n\tt\u00e9\n}");
}

TEST(CUArray, InsertAndRemove) {
    CUSharedPtr<CUMutableArray> a = CUMutableArray::Create();
    a->InsertObjectAtIndex(Num(2), 0);
    a->InsertObjectAtIndex(Num(1), 0);
    a->InsertObjectAtIndex(Num(3), 2);   // == Count(): appends
    a->InsertObjectAtIndex(Num(9), 10);  // beyond: nothing
    EXPECT_EQ(Ints(a), (std::vector<int>{1, 2, 3}));
    a->RemoveObjectAtIndex(5);
    a->RemoveObjectAtIndex(1);
    EXPECT_EQ(Ints(a), (std::vector<int>{1, 3}));

    // RemoveObject removes by identity, every occurrence, and keeps equal values.
    CUSharedPtr<CUObject> shared = Num(7);
    a->AddObject(shared);
    a->AddObject(Num(7));
    a->InsertObjectAtIndex(shared, 0);
    EXPECT_EQ(shared->RetainCount(), 3);
    a->RemoveObject(shared);
    EXPECT_EQ(Ints(a), (std::vector<int>{1, 3, 7}));
    EXPECT_EQ(shared->RetainCount(), 1);
    a->RemoveObject(nullptr);
    EXPECT_EQ(a->Count(), 3u);
    a->RemoveAllObjects();
    EXPECT_EQ(a->Count(), 0u);
}

TEST(CUArray, RemovingTheLastHolderOfAnObjectIsSafe) {
    CUSharedPtr<CUMutableArray> a = CUMutableArray::Create();
    a->AddObject(Num(5));
    a->AddObject(Num(6));
    // The argument refers to the array's own element, the only holder.
    const CUSharedPtr<CUObject>& own = a->GetInternalArray()[0];
    a->RemoveObject(own);
    EXPECT_EQ(Ints(a), (std::vector<int>{6}));
}

TEST(CUArray, CopiesAreShallowAndSelfAppendWorks) {
    CUSharedPtr<CUMutableArray> a = CUMutableArray::Create();
    CUSharedPtr<CUObject> one = Num(1);
    a->AddObject(one);
    a->AddObject(Num(2));
    CUSharedPtr<CUArray> copy(new CUArray(CUSharedPtr<CUArray>(a)));
    EXPECT_EQ(copy->ObjectAtIndex(0).get(), one.get());
    EXPECT_EQ(one->RetainCount(), 3);
    CUSharedPtr<CUMutableArray> mcopy(new CUMutableArray(CUSharedPtr<CUArray>(a)));
    EXPECT_EQ(Ints(mcopy), (std::vector<int>{1, 2}));
    EXPECT_EQ(CUArray(CUSharedPtr<CUArray>()).Count(), 0u);

    a->AddObjectsFromArray(a);
    EXPECT_EQ(Ints(a), (std::vector<int>{1, 2, 1, 2}));
    a->AddObjectsFromArray(nullptr);
    EXPECT_EQ(a->Count(), 4u);
    a->SetArray(a);
    EXPECT_EQ(Ints(a), (std::vector<int>{1, 2, 1, 2}));
    a->SetArray(copy);
    EXPECT_EQ(Ints(a), (std::vector<int>{1, 2}));
    a->SetArray(nullptr);
    EXPECT_EQ(a->Count(), 0u);
}

TEST(CUSortDescriptor, StableSortsCallTheSubclassThroughCopies) {
    CUSharedPtr<CUMutableArray> a = CUMutableArray::Create();
    for (int v : {31, 12, 25, 11, 30, 13}) a->AddObject(Num(v));
    CUSharedPtr<TensDescriptor> d(new TensDescriptor());
    CUSharedPtr<CUArray> sorted = a->SortedArrayUsingDescriptor(d);
    ASSERT_TRUE(sorted);
    EXPECT_EQ(Ints(sorted), (std::vector<int>{12, 11, 13, 25, 31, 30}));
    EXPECT_GT(d->calls, 0);
    EXPECT_EQ(Ints(a), (std::vector<int>{31, 12, 25, 11, 30, 13}));  // receiver unchanged

    d->SetAscending(false);
    a->SortUsingDescriptor(d);
    EXPECT_EQ(Ints(a), (std::vector<int>{31, 30, 25, 12, 11, 13}));

    EXPECT_TRUE(a->SortedArrayUsingDescriptor(nullptr).IsNull());
    a->SortUsingDescriptor(nullptr);
    EXPECT_EQ(a->Count(), 6u);

    // The base descriptor ranks everything equal: order is kept.
    CUSharedPtr<CUSortDescriptor> base(new CUSortDescriptor());
    EXPECT_EQ(Ints(a->SortedArrayUsingDescriptor(base)), Ints(a));
}

TEST(CUDictionary, KeysAreOrderedByCollationAndCopied) {
    CUSharedPtr<CUMutableDictionary> d = CUMutableDictionary::Create();
    CUSharedPtr<CUStringMac> keyB = S("b");
    for (const char* k : {"f", "\u00e9", "B", "a", "e"}) d->SetObjectForKey(S(k), S(k));
    d->SetObjectForKey(Num(1), keyB);
    EXPECT_EQ(d->Count(), 6u);
    EXPECT_EQ(keyB->RetainCount(), 1);  // the dictionary stores its own copy

    CUSharedPtr<CUArray> keys = d->AllKeys();
    std::vector<std::string> order;
    for (const CUSharedPtr<CUStringMac> k : keys->GetInternalArray()) order.push_back(Str(k));
    // "b" and "B" are distinct keys next to each other (either way round), then e < é < f.
    if (order.size() == 6 && order[1] == "B") std::swap(order[1], order[2]);
    EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "B", "e", "\u00e9", "f"}));
    // Fresh copies: a second call gives other objects.
    EXPECT_NE(d->AllKeys()->ObjectAtIndex(0).get(), keys->ObjectAtIndex(0).get());
}

TEST(CUDictionary, KeysThatCollateEqualStayDistinct) {
    // Precomposed and combining forms of "é" collate equal; neither entry is lost.
    CUSharedPtr<CUMutableDictionary> d = CUMutableDictionary::Create();
    d->SetObjectForKey(Num(1), S("\u00e9"));
    d->SetObjectForKey(Num(2), S("e\u0301"));
    EXPECT_EQ(d->Count(), 2u);
    CUSharedPtr<CUNumber> a = d->ObjectForKey(S("\u00e9"));
    CUSharedPtr<CUNumber> b = d->ObjectForKey(S("e\u0301"));
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->SInt32Value(), 1);
    EXPECT_EQ(b->SInt32Value(), 2);
}

TEST(CUDictionary, SetReplaceRemoveNullsAndDescription) {
    CUSharedPtr<CUMutableDictionary> d = CUMutableDictionary::Create();
    CUSharedPtr<CUObject> first = Num(1);
    d->SetObjectForKey(first, S("k"));
    d->SetObjectForKey(Num(4), S("k"));
    EXPECT_EQ(d->Count(), 1u);
    EXPECT_EQ(first->RetainCount(), 1);
    EXPECT_TRUE(d->ObjectForKey(S("K")).IsNull());  // exact order: case matters
    EXPECT_TRUE(d->ObjectForKey(nullptr).IsNull());

    d->SetObjectForKey(Num(3), nullptr);
    d->SetObjectForKey(Num(3), CUSharedPtr<CUStringMac>(new CUStringMac(CUStringMac::Null())));
    d->SetObjectForKey(nullptr, S("a"));
    EXPECT_EQ(d->Count(), 2u);
    EXPECT_EQ(d->Description()->Utf8(), "{\n\tKey:a,\tVal:<NULL>\n\tKey:k,\tVal:4\n}");

    d->RemoveObjectForKey(nullptr);
    d->RemoveObjectForKey(S("k"));
    EXPECT_EQ(d->Count(), 1u);
    CUSharedPtr<CUDictionary> copy(new CUDictionary(CUSharedPtr<CUDictionary>(d)));
    d->RemoveAllObjects();
    EXPECT_EQ(copy->Count(), 1u);
    EXPECT_EQ(CUDictionary(CUSharedPtr<CUDictionary>()).Count(), 0u);
}

TEST(CUNumber, FloatingValuesOutsideIntegerRangesSaturate) {
    // Converting such values is undefined behaviour in C++: they are clamped.
    EXPECT_TRUE(CUNumber::Create<double>(0.5)->boolValue());
    CUSharedPtr<CUNumber> nan = CUNumber::Create<double>(std::nan(""));
    EXPECT_TRUE(nan->boolValue());
    EXPECT_EQ(nan->SInt32Value(), 0);
    CUSharedPtr<CUNumber> huge = CUNumber::Create<double>(1e300);
    EXPECT_EQ(huge->SInt32Value(), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(huge->UInt64Value(), std::numeric_limits<uint64_t>::max());
    EXPECT_EQ(CUNumber::Create<float>(-2.5f)->UInt32Value(), 0u);
    EXPECT_EQ(CUNumber::Create<double>(-1e300)->SInt64Value(), std::numeric_limits<int64_t>::min());
}

TEST(CUNumber, EnumerationsBoxAsTheirNumbers) {
    CUSharedPtr<CUNumber> e = CUNumber::Create(_Test_Enum::kSeven);
    EXPECT_EQ(e->Description()->Utf8(), "7");
    EXPECT_EQ(e->UInt32Value(), 7u);
    EXPECT_FALSE(CUNumber::Create(_Test_Enum::kZero)->boolValue());
    EXPECT_EQ(CUNumber::Create(kPlainMinus)->Description()->Utf8(), "-3");
    // Exact down-cast out of a container.
    CUSharedPtr<CUObject> boxed = e;
    CUSharedPtr<CUNumberConcrete<_Test_Enum>> concrete = boxed;
    ASSERT_TRUE(concrete);
    EXPECT_EQ(concrete->Value(), _Test_Enum::kSeven);
    CUSharedPtr<CUNumberConcrete<int>> wrongType = boxed;
    EXPECT_TRUE(wrongType.IsNull());
}

TEST(CUVector, TravelsThroughContainersAndComesBackByDownCast) {
    CUSharedPtr<CUVector<unsigned char>> bytes = CreateCUVectorUInt8();
    ASSERT_TRUE(bytes);
    CUSharedPtr<CUMutableArray> a = CUMutableArray::Create();
    a->AddObject(bytes);
    CUSharedPtr<CUVector<unsigned char>> back = a->ObjectAtIndex(0);
    EXPECT_EQ(back.get(), bytes.get());
    CUSharedPtr<CUVector<signed char>> wrong = a->ObjectAtIndex(0);
    EXPECT_TRUE(wrong.IsNull());
}

}  // namespace
