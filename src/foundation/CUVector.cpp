#include "CUVector.h"

namespace ComVantoVantoQZ64RADPlug {

template class CUVector<signed char>;
template class CUVector<unsigned char>;
template class CUVector<short>;
template class CUVector<unsigned short>;
template class CUVector<int>;
template class CUVector<unsigned int>;
template class CUVector<long long>;
template class CUVector<unsigned long long>;

CUSharedPtr<CUVector<signed char>> CreateCUVectorSInt8() {
    return CUVector<signed char>::Create();
}
CUSharedPtr<CUVector<unsigned char>> CreateCUVectorUInt8() {
    return CUVector<unsigned char>::Create();
}
CUSharedPtr<CUVector<short>> CreateCUVectorSInt16() {
    return CUVector<short>::Create();
}
CUSharedPtr<CUVector<unsigned short>> CreateCUVectorUInt16() {
    return CUVector<unsigned short>::Create();
}
CUSharedPtr<CUVector<int>> CreateCUVectorSInt32() {
    return CUVector<int>::Create();
}
CUSharedPtr<CUVector<unsigned int>> CreateCUVectorUInt32() {
    return CUVector<unsigned int>::Create();
}
CUSharedPtr<CUVector<long long>> CreateCUVectorSInt64() {
    return CUVector<long long>::Create();
}
CUSharedPtr<CUVector<unsigned long long>> CreateCUVectorUInt64() {
    return CUVector<unsigned long long>::Create();
}

}  // namespace ComVantoVantoQZ64RADPlug
