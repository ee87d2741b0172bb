#include "CUNumber.h"

namespace ComVantoVantoQZ64RADPlug {

CUNumber::~CUNumber() = default;

// The plain types are instantiated here once; enumeration types of higher
// layers are instantiated where they are used.
template class CUNumberConcrete<bool>;
template class CUNumberConcrete<unsigned char>;
template class CUNumberConcrete<unsigned short>;
template class CUNumberConcrete<int>;
template class CUNumberConcrete<unsigned int>;
template class CUNumberConcrete<long long>;
template class CUNumberConcrete<unsigned long long>;
template class CUNumberConcrete<float>;
template class CUNumberConcrete<double>;

}  // namespace ComVantoVantoQZ64RADPlug
